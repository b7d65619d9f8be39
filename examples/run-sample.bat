@echo off
rem Runs vexal_mod_builder.exe on the bundled sample game and mod, in a new working
rem folder (the one given, or a new one in %TEMP%); the real game is never touched:
rem   1. packs the sample game's archives from loose files,
rem   2. builds and installs the sample mod (-mod),
rem   3. shows what changed in the game's folders and in config.ini, lists a game
rem      archive with vexal_fs and shows what vexal_fs status makes of it,
rem   4. restores the game and checks that its archives are byte for byte
rem      what they were before.
rem The working folder is kept for a look afterwards.
rem
rem Usage: examples\run-sample.bat [working folder]
setlocal EnableExtensions
set "here=%~dp0"
set "tool=%~dp0..\vexal_mod_builder.exe"
set "fs_tool=%~dp0..\vexal_fs.exe"
set "work=%~1"
if "%work%"=="" set "work=%TEMP%\vexal_sample_%RANDOM%"
set "archives=game\data\BASICS.FS game\data\WORDS.FS game\data\TROOP.FSU cd\data\VIDEO.FS"

if not exist "%tool%" goto no_tool
if not exist "%fs_tool%" goto no_tool
if exist "%work%\config.ini" goto work_in_use
if not exist "%work%" mkdir "%work%"
xcopy /e /i /q "%here%game" "%work%\game" >nul
if errorlevel 1 goto failed
xcopy /e /i /q "%here%cd" "%work%\cd" >nul
if errorlevel 1 goto failed
xcopy /e /i /q "%here%mod" "%work%\mod" >nul
if errorlevel 1 goto failed
cd /d "%work%"
if errorlevel 1 goto failed
>config.ini echo [PATH]
>>config.ini echo vexal=%work%\game
>>config.ini echo vexalcd=%work%\cd
>>config.ini echo allowcdmod=1

call :heading Working folder %work%
type config.ini

call :heading Packing the sample game's archives from loose files
call :run game\source\make.def
if errorlevel 1 goto failed
call :run cd\source\make.def
if errorlevel 1 goto failed
rem The tool never writes into a game's data folder: the packed archives become it.
ren game\packed data
if errorlevel 1 goto failed
ren cd\packed data
if errorlevel 1 goto failed
mkdir original
for %%a in (%archives%) do copy /y %%a original\ >nul
call :list game\data
call :list cd\data
echo.
call :run_fs list game\data\TROOP.FSU
if errorlevel 1 goto failed

call :heading Building and installing the Knights mod
call :run mod\knights.def -mod
if errorlevel 1 goto failed

call :heading What changed
call :list game\data
call :list cd\data
call :list backup
call :list mod\out
echo.
type config.ini
for %%a in (%archives%) do if not exist backup\%%~nxa set "missing=%%~nxa"
if defined missing goto not_installed
echo.
echo The mod's archives are in the game; the game's own are in backup\.
echo.
call :run_fs status
if errorlevel 1 goto failed

call :heading Restoring the game (a run without arguments)
call :run
if errorlevel 1 goto failed

call :heading After the restore
call :list game\data
call :list cd\data
call :list mod\out
echo.
type config.ini
echo.
for %%a in (%archives%) do call :compare %%a
if defined changed goto not_restored
for %%a in (%archives%) do echo %%a is identical to the game's original

call :heading Sample finished
echo The working folder %work% is kept; delete it when you are done.
exit /b 0

:heading
echo.
echo === %* ===
echo.
exit /b 0

rem Runs the tool in the working folder and shows its command line.
:run
echo ^> vexal_mod_builder %*
"%tool%" %*
exit /b %errorlevel%

rem Runs vexal_fs in the working folder and shows its command line.
:run_fs
echo ^> vexal_fs %*
"%fs_tool%" %*
exit /b %errorlevel%

rem Notes an archive that differs from its copy in original\.
:compare
fc /b %1 original\%~nx1 >nul
if errorlevel 1 set "changed=%1"
exit /b 0

rem Lists the files of a folder with their sizes in bytes.
:list
echo %~1\
for %%f in (%~1\*) do echo   %%~zf  %%~nxf
exit /b 0

:no_tool
echo %~nx0: %tool% or %fs_tool% is missing (run this file from the unpacked package)
exit /b 2
:work_in_use
echo %~nx0: %work% already holds a config.ini; give a new folder
exit /b 2
:not_installed
echo %missing% was not swapped into the game (it is missing from backup\)
goto failed
:not_restored
echo %changed% differs from the game's original after the restore
:failed
echo FAILED (working folder %work%)
exit /b 1

# The command-line tests of the Windows build: the Linux cli_tests program runs the
# .exe under Wine, with paths written the Windows way and exit codes compared in full.
# The launcher also holds an archive open while the tool runs, as the game does.
add_executable(exit_code_launcher ${CMAKE_CURRENT_LIST_DIR}/exit_code_launcher.cpp)

set(VEXAL_HOST_CLI_TESTS "" CACHE FILEPATH
    "The Linux cli_tests program that runs the command-line tests against the .exe")
if(NOT VEXAL_HOST_CLI_TESTS OR NOT VEXAL_WINE)
  message(STATUS "Command-line tests under Wine left out (needs wine and VEXAL_HOST_CLI_TESTS)")
  return()
endif()

file(READ ${CMAKE_CURRENT_LIST_DIR}/run-under-wine.in wrapper)
string(CONFIGURE "${wrapper}" wrapper @ONLY)
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/run-under-wine CONTENT "${wrapper}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)

add_test(NAME cli_tests_under_wine
         COMMAND sh -c "if [ ! -x \"$0\" ]; then echo \"$0 is missing: build the Linux cli_tests first (cmake -S . -B build && cmake --build build --target cli_tests)\"; exit 1; fi; exec \"$0\""
                 ${VEXAL_HOST_CLI_TESTS})
set_tests_properties(cli_tests_under_wine PROPERTIES
  TIMEOUT 900
  ENVIRONMENT "VEXAL_TEST_BINARY=$<TARGET_FILE:vexal_mod_builder>;VEXAL_TEST_FS_BINARY=$<TARGET_FILE:vexal_fs>;VEXAL_TEST_WRAPPER=${CMAKE_CURRENT_BINARY_DIR}/run-under-wine;VEXAL_TEST_PATHS=windows;VEXAL_TEST_HOLDER=$<TARGET_FILE:exit_code_launcher>")

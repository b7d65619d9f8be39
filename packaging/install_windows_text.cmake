# Installs the text files of the Windows folder with CRLF line ends: START.txt, the
# README and documents renamed to *.txt, and the sample without its Linux script, whose
# README is the one for players of the Windows folder.
# Runs at install time; vexal_source_dir and vexal_documents are set by the install
# rules in CMakeLists.txt.
set(destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

function(install_as_crlf source target)
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  message(STATUS "Installing: ${destination}/${target}")
  file(WRITE ${destination}/${target} "${text}")
endfunction()

function(install_document source target)
  string(REGEX REPLACE "\\.md$" ".txt" target ${target})
  install_as_crlf(${source} ${target})
endfunction()

install_as_crlf(${CMAKE_CURRENT_LIST_DIR}/START.txt START.txt)
install_document(${vexal_source_dir}/README.md README.md)
foreach(document IN LISTS vexal_documents)
  get_filename_component(name ${document} NAME)
  install_document(${document} docs/${name})
endforeach()
file(GLOB_RECURSE sample_files RELATIVE ${vexal_source_dir} ${vexal_source_dir}/examples/*)
list(FILTER sample_files EXCLUDE REGEX "\\.sh$|^examples/README\\.md$")
foreach(file IN LISTS sample_files)
  install_document(${vexal_source_dir}/${file} ${file})
endforeach()
install_as_crlf(${CMAKE_CURRENT_LIST_DIR}/examples-README.txt examples/README.txt)

# Installs the build into a fresh prefix and checks the installed tree as a
# user meets it: the programs answer --version and --help from another
# working directory and find the help book and the examples there.
#   cmake -DBUILD=<build dir> -DPREFIX=<scratch dir> -DVERSION=<x.y.z> -P InstallCheck.cmake

function(fail message)
  message(FATAL_ERROR "install check: ${message}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  fail("cmake --install failed (${status})")
endif()

foreach(path
    bin/tandrel bin/tandrel-cli
    share/tandrel/Tandrel.htb
    share/tandrel/examples/README.md
    share/applications/tandrel.desktop
    share/metainfo/org.tandrel.Tandrel.metainfo.xml
    share/mime/packages/tandrel.xml
    share/icons/hicolor/128x128/apps/tandrel.png
    share/icons/hicolor/256x256/apps/tandrel.png
    share/icons/hicolor/scalable/apps/tandrel.svg
    share/icons/hicolor/16x16/apps/tandrel.xpm
    share/icons/hicolor/24x24/apps/tandrel.xpm
    share/icons/hicolor/32x32/apps/tandrel.xpm
    share/icons/hicolor/48x48/apps/tandrel.xpm)
  if(NOT EXISTS "${PREFIX}/${path}")
    fail("${path} is not installed")
  endif()
endforeach()
file(GLOB examples "${PREFIX}/share/tandrel/examples/*.def")
list(LENGTH examples count)
if(count LESS 8)
  fail("only ${count} examples installed")
endif()
file(READ "${PREFIX}/share/applications/tandrel.desktop" desktop)
foreach(line "Exec=tandrel %f" "Icon=tandrel" "Categories=Education;"
             "MimeType=application/x-tandrel-program;")
  string(FIND "${desktop}" "${line}" at)
  if(at LESS 0)
    fail("the desktop entry lacks ${line}")
  endif()
endforeach()

# What software centres read, when the checker is installed.
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net
                          "${PREFIX}/share/metainfo/org.tandrel.Tandrel.metainfo.xml"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    fail("the AppStream metainfo does not validate: ${out}${err}")
  endif()
endif()

# The program type claims Tandrel's files by their "Data" line and leaves
# other .def files (a linker's module definition here) alone.
find_program(UPDATE_MIME update-mime-database)
find_program(GIO gio)
if(UPDATE_MIME AND GIO AND EXISTS /usr/share/mime/packages/freedesktop.org.xml)
  set(mime "${PREFIX}/mime-check")
  file(MAKE_DIRECTORY "${mime}/mime/packages")
  file(COPY /usr/share/mime/packages/freedesktop.org.xml "${PREFIX}/share/mime/packages/tandrel.xml"
       DESTINATION "${mime}/mime/packages")
  execute_process(COMMAND "${UPDATE_MIME}" "${mime}/mime" RESULT_VARIABLE status
                  OUTPUT_QUIET ERROR_QUIET)
  file(WRITE "${mime}/linker.def" "LIBRARY tools\nEXPORTS\n  open\n  table DATA\n")
  foreach(pair "${PREFIX}/share/tandrel/examples/06-data-hazard.def=application/x-tandrel-program"
               "${mime}/linker.def=text/plain")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 file)
    list(GET pair 1 expected)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "XDG_DATA_HOME=${mime}"
                            "XDG_DATA_DIRS=${mime}" "${GIO}" info -a standard::content-type "${file}"
                    OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(FIND "${out}" "standard::content-type: ${expected}\n" at)
    if(at LESS 0)
      fail("${file} is not taken as ${expected}: ${out}${err}")
    endif()
  endforeach()
endif()

# From a folder with nothing of Tandrel's in it.
set(elsewhere "${PREFIX}/elsewhere")
file(MAKE_DIRECTORY "${elsewhere}")

macro(run expected_status)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${elsewhere}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL ${expected_status})
    fail("${ARGN} exited ${status}: ${out}${err}")
  endif()
endmacro()

run(0 "${PREFIX}/bin/tandrel-cli" --version)
if(NOT out STREQUAL "tandrel-cli ${VERSION}\n")
  fail("tandrel-cli --version printed '${out}'")
endif()
run(0 "${PREFIX}/bin/tandrel-cli" --help)
run(0 "${PREFIX}/bin/tandrel" --version)
if(NOT out STREQUAL "tandrel ${VERSION}\n")
  fail("tandrel --version printed '${out}'")
endif()
run(0 "${PREFIX}/bin/tandrel" --help)
foreach(expected "Help book: ${PREFIX}/share/tandrel/Tandrel.htb"
                 "Examples: ${PREFIX}/share/tandrel/examples")
  string(FIND "${out}" "${expected}" at)
  if(at LESS 0)
    fail("tandrel --help does not say '${expected}':\n${out}")
  endif()
endforeach()
run(0 "${PREFIX}/bin/tandrel-cli" run "${PREFIX}/share/tandrel/examples/03-array-sum.def" --json)
string(FIND "${out}" "\"done\":true" at)
if(at LESS 0)
  fail("an installed example did not run to its end: ${out}")
endif()

file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "install check passed")

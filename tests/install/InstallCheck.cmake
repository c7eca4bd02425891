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
foreach(line "Exec=tandrel" "Icon=tandrel" "Categories=Education;")
  string(FIND "${desktop}" "${line}" at)
  if(at LESS 0)
    fail("the desktop entry lacks ${line}")
  endif()
endforeach()

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

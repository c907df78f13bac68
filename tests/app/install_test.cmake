# Installs the build folder BUILD into a fresh prefix PREFIX, checks that the installed tree holds
# what a user needs, and starts sorvane-run --help from there.
#   cmake -DBUILD=... -DPREFIX=... -DSOURCE=... -P install_test.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}${err}")
endif()

set(expected
    bin/sorvane
    bin/sorvane-run
    lib/sorvane/sorvane
    lib/sorvane/sorvane-run
    lib/sorvane/help/introduce.html
    lib/sorvane/help/help.css
    share/applications/sorvane.desktop
    share/icons/hicolor/scalable/apps/sorvane.svg)
if(EXISTS "${SOURCE}/samples")
  list(APPEND expected share/sorvane/samples)
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The program finds its help beside its executable, also when started through the link.
file(READ_SYMLINK "${PREFIX}/bin/sorvane" target)
if(NOT target STREQUAL "../lib/sorvane/sorvane")
  message(FATAL_ERROR "bin/sorvane links to ${target}")
endif()

execute_process(COMMAND "${PREFIX}/bin/sorvane-run" --help
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^usage: sorvane-run ")
  message(FATAL_ERROR "sorvane-run --help from the prefix: status ${rc}\n${out}${err}")
endif()
file(REMOVE_RECURSE "${PREFIX}")

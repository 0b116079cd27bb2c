# Installs the build into PREFIX and checks that the programs and manual pages arrived.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(f bin/zvasm bin/zvcrypt share/man/man1/zvasm.1 share/man/man1/zvcrypt.1)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})

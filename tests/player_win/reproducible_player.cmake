# Builds the Windows player a second time, in a folder of its own, and compares it with the one
# the build made: the same sources give the same autorun.exe, byte for byte.
#   cmake -DSOURCE_DIR=... -DPLAYER=.../autorun.exe -DICON=... -DVERSION=... -DWORK=... -DFONT=... -DSTB=...
#         -P reproducible_player.cmake
file(REMOVE_RECURSE ${WORK})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/src/player_win -B ${WORK} -G Ninja
    -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
    -DTORVANA_VERSION=${VERSION} -DTORVANA_PLAYER_ICON=${ICON} -DTORVANA_PLAYER_OUTPUT_DIR=${WORK}/bin
    -DTORVANA_MENU_FONT_CPP=${FONT} -DTORVANA_STB_INCLUDE=${STB}
  RESULT_VARIABLE configured OUTPUT_QUIET)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the second build of the Windows player cannot be configured")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK} --target autorun RESULT_VARIABLE built OUTPUT_QUIET)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the second build of the Windows player failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PLAYER} ${WORK}/bin/autorun.exe RESULT_VARIABLE differ)
file(REMOVE_RECURSE ${WORK})
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "two builds of the Windows player differ: ${PLAYER}")
endif()

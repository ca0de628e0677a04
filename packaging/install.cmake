# Installing: the programs under libexec/cspindrel, the data files under
# share/cspindrel, a launcher per program on the PATH that starts it from the
# data folder, desktop entries and the icon.
include(GNUInstallDirs)
set(SPINDREL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/cspindrel)
set(SPINDREL_PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/cspindrel)

file(RELATIVE_PATH SPINDREL_DATA_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${SPINDREL_DATA_INSTALL_DIR})
file(RELATIVE_PATH SPINDREL_PROGRAM_FROM_BIN /${CMAKE_INSTALL_BINDIR}
     /${SPINDREL_PROGRAM_INSTALL_DIR})

set(SPINDREL_DESKTOP_current_NAME "CSpindrel")
set(SPINDREL_DESKTOP_r1_NAME "CSpindrel (first revision)")
set(SPINDREL_DESKTOP_r2_NAME "CSpindrel (small board)")
set(SPINDREL_DESKTOP_r3_NAME "CSpindrel (medium board)")
set(SPINDREL_DESKTOP_current_COMMENT "Turn your nodes, fire them and capture the board")
set(SPINDREL_DESKTOP_r1_COMMENT "The oldest revision: no burnout, a 24 by 24 board")
set(SPINDREL_DESKTOP_r2_COMMENT "An early revision: no burnout, a 14 by 14 board")
set(SPINDREL_DESKTOP_r3_COMMENT "An early revision: no burnout, an 18 by 18 board")

foreach(rev ${SPINDREL_REVISIONS})
  set(PROGRAM ${SPINDREL_PROGRAM_${rev}})
  string(TOLOWER ${PROGRAM} LAUNCHER)
  set(DATA_FROM_BIN ${SPINDREL_DATA_FROM_BIN})
  set(PROGRAM_FROM_BIN ${SPINDREL_PROGRAM_FROM_BIN})
  set(DESKTOP_NAME ${SPINDREL_DESKTOP_${rev}_NAME})
  set(DESKTOP_COMMENT ${SPINDREL_DESKTOP_${rev}_COMMENT})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/launcher.sh.in
                 ${CMAKE_BINARY_DIR}/packaging/${LAUNCHER} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/cspindrel.desktop.in
                 ${CMAKE_BINARY_DIR}/packaging/${LAUNCHER}.desktop @ONLY)
  install(TARGETS ${PROGRAM} RUNTIME DESTINATION ${SPINDREL_PROGRAM_INSTALL_DIR})
  install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/${LAUNCHER} DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${LAUNCHER}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endforeach()

set(SPINDREL_INSTALLED_DATA)
foreach(file font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3)
  list(APPEND SPINDREL_INSTALLED_DATA ${SPINDREL_OUTPUT_DIR}/${file})
endforeach()
install(FILES ${SPINDREL_INSTALLED_DATA} DESTINATION ${SPINDREL_DATA_INSTALL_DIR})
install(FILES ${SPINDREL_OUTPUT_DIR}/cspindrel.xpm DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps)

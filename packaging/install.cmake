# Installing: the programs under libexec/cspindrel, the data files in the
# game's share folder, a launcher per program on the PATH that starts it from
# the data folder, the manual page, desktop entries, icons, the AppStream
# entry and the copyright note.
#
# With the distribution's prefix /usr the layout is Debian's for games: the
# launchers in /usr/games and the data in /usr/share/games/cspindrel. Any
# other prefix (/usr/local, a home folder) gets bin/ and share/cspindrel/,
# where a player's PATH already looks.
include(GNUInstallDirs)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(SPINDREL_LAUNCHER_INSTALL_DIR games)
  set(SPINDREL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/games/cspindrel)
else()
  set(SPINDREL_LAUNCHER_INSTALL_DIR ${CMAKE_INSTALL_BINDIR})
  set(SPINDREL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/cspindrel)
endif()
set(SPINDREL_PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/cspindrel)
set(SPINDREL_DOC_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/doc/cspindrel)
set(SPINDREL_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
set(SPINDREL_DATA_FOLDER ${CMAKE_INSTALL_PREFIX}/${SPINDREL_DATA_INSTALL_DIR})

# Who answers for the package, the game's homepage and its id in software
# centres, which names the main desktop entry. All sit under the placeholder
# domain cspindrel.example until the project has an address of its own.
set(SPINDREL_MAINTAINER "CSpindrel developers <developers@cspindrel.example>")
set(SPINDREL_HOMEPAGE "https://cspindrel.example/")
set(SPINDREL_APP_ID example.cspindrel.cspindrel)

file(RELATIVE_PATH SPINDREL_DATA_FROM_BIN /${SPINDREL_LAUNCHER_INSTALL_DIR}
     /${SPINDREL_DATA_INSTALL_DIR})
file(RELATIVE_PATH SPINDREL_PROGRAM_FROM_BIN /${SPINDREL_LAUNCHER_INSTALL_DIR}
     /${SPINDREL_PROGRAM_INSTALL_DIR})

# The release date printed in the manual page, the AppStream entry and the
# changelog: the day of the build, or SOURCE_DATE_EPOCH's for a reproducible
# one.
string(TIMESTAMP SPINDREL_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP SPINDREL_RELEASE_DATE_RFC2822 "%a, %d %b %Y 00:00:00 +0000" UTC)

set(SPINDREL_DESKTOP_current_NAME "CSpindrel")
set(SPINDREL_DESKTOP_r1_NAME "CSpindrel (first revision)")
set(SPINDREL_DESKTOP_r2_NAME "CSpindrel (small board)")
set(SPINDREL_DESKTOP_r3_NAME "CSpindrel (medium board)")
set(SPINDREL_DESKTOP_current_COMMENT "Turn your nodes, fire them and capture the board")
set(SPINDREL_DESKTOP_r1_COMMENT "The oldest revision: no burnout, a 24 by 24 board")
set(SPINDREL_DESKTOP_r2_COMMENT "An early revision: no burnout, a 14 by 14 board")
set(SPINDREL_DESKTOP_r3_COMMENT "An early revision: no burnout, an 18 by 18 board")

# Every folder the install puts something in, with its parents, so that
# uninstalling from source can remove the folders it created.
set(SPINDREL_INSTALL_DIRS)
function(spindrel_install_dir dir)
  while(dir AND NOT dir STREQUAL ".")
    list(APPEND SPINDREL_INSTALL_DIRS ${dir})
    get_filename_component(dir ${dir} DIRECTORY)
  endwhile()
  set(SPINDREL_INSTALL_DIRS ${SPINDREL_INSTALL_DIRS} PARENT_SCOPE)
endfunction()

foreach(rev ${SPINDREL_REVISIONS})
  set(PROGRAM ${SPINDREL_PROGRAM_${rev}})
  string(TOLOWER ${PROGRAM} LAUNCHER)
  if(rev STREQUAL "current")
    set(DESKTOP_ENTRY ${SPINDREL_APP_ID}.desktop)
  else()
    set(DESKTOP_ENTRY ${LAUNCHER}.desktop)
  endif()
  set(DATA_FROM_BIN ${SPINDREL_DATA_FROM_BIN})
  set(PROGRAM_FROM_BIN ${SPINDREL_PROGRAM_FROM_BIN})
  set(DESKTOP_NAME ${SPINDREL_DESKTOP_${rev}_NAME})
  set(DESKTOP_COMMENT ${SPINDREL_DESKTOP_${rev}_COMMENT})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/launcher.sh.in
                 ${SPINDREL_PACKAGING_DIR}/${LAUNCHER} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/cspindrel.desktop.in
                 ${SPINDREL_PACKAGING_DIR}/${DESKTOP_ENTRY} @ONLY)
  install(TARGETS ${PROGRAM} RUNTIME DESTINATION ${SPINDREL_PROGRAM_INSTALL_DIR})
  install(PROGRAMS ${SPINDREL_PACKAGING_DIR}/${LAUNCHER}
          DESTINATION ${SPINDREL_LAUNCHER_INSTALL_DIR})
  install(FILES ${SPINDREL_PACKAGING_DIR}/${DESKTOP_ENTRY}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endforeach()
spindrel_install_dir(${SPINDREL_PROGRAM_INSTALL_DIR})
spindrel_install_dir(${SPINDREL_LAUNCHER_INSTALL_DIR})
spindrel_install_dir(${CMAKE_INSTALL_DATADIR}/applications)

set(SPINDREL_INSTALLED_DATA)
foreach(file font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3)
  list(APPEND SPINDREL_INSTALLED_DATA ${SPINDREL_OUTPUT_DIR}/${file})
endforeach()
install(FILES ${SPINDREL_INSTALLED_DATA} DESTINATION ${SPINDREL_DATA_INSTALL_DIR})
spindrel_install_dir(${SPINDREL_DATA_INSTALL_DIR})

foreach(size ${SPINDREL_ICON_SIZES})
  set(dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  install(FILES ${SPINDREL_ICON_DIR}/${size}x${size}/apps/cspindrel.png DESTINATION ${dir})
  spindrel_install_dir(${dir})
endforeach()

# The AppStream entry, for software centres; its id is the main desktop
# entry's.
configure_file(${CMAKE_SOURCE_DIR}/packaging/cspindrel.metainfo.xml.in
               ${SPINDREL_PACKAGING_DIR}/${SPINDREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${SPINDREL_PACKAGING_DIR}/${SPINDREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
spindrel_install_dir(${CMAKE_INSTALL_DATADIR}/metainfo)

# One manual page for the four launchers, compressed as Debian expects; the
# revisions' pages are links to it.
configure_file(${CMAKE_SOURCE_DIR}/packaging/cspindrel.6.in ${SPINDREL_PACKAGING_DIR}/cspindrel.6
               @ONLY)
set(SPINDREL_MAN_PAGES ${SPINDREL_PACKAGING_DIR}/man/cspindrel.6.gz)
set(SPINDREL_MAN_COMMANDS
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SPINDREL_PACKAGING_DIR}/man
  COMMAND ${CMAKE_COMMAND} -E copy ${SPINDREL_PACKAGING_DIR}/cspindrel.6 ${SPINDREL_PACKAGING_DIR}/man
  COMMAND gzip -9 -n -f ${SPINDREL_PACKAGING_DIR}/man/cspindrel.6)
foreach(rev r1 r2 r3)
  list(APPEND SPINDREL_MAN_PAGES ${SPINDREL_PACKAGING_DIR}/man/cspindrel-${rev}.6.gz)
  list(APPEND SPINDREL_MAN_COMMANDS COMMAND ${CMAKE_COMMAND} -E create_symlink cspindrel.6.gz
       ${SPINDREL_PACKAGING_DIR}/man/cspindrel-${rev}.6.gz)
endforeach()
add_custom_command(OUTPUT ${SPINDREL_MAN_PAGES} ${SPINDREL_MAN_COMMANDS}
                   DEPENDS ${SPINDREL_PACKAGING_DIR}/cspindrel.6
                   COMMENT "Compressing the manual page")
add_custom_target(spindrel_man ALL DEPENDS ${SPINDREL_MAN_PAGES})
install(FILES ${SPINDREL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
spindrel_install_dir(${CMAKE_INSTALL_MANDIR}/man6)

# The copyright note and the changelog, where Debian looks for them.
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${SPINDREL_PACKAGING_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${SPINDREL_PACKAGING_DIR}/doc/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${SPINDREL_PACKAGING_DIR}/doc
                   COMMAND ${CMAKE_COMMAND} -E copy ${SPINDREL_PACKAGING_DIR}/changelog
                           ${SPINDREL_PACKAGING_DIR}/doc
                   COMMAND gzip -9 -n -f ${SPINDREL_PACKAGING_DIR}/doc/changelog
                   DEPENDS ${SPINDREL_PACKAGING_DIR}/changelog
                   COMMENT "Compressing the changelog")
add_custom_target(spindrel_changelog ALL DEPENDS ${SPINDREL_PACKAGING_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${SPINDREL_PACKAGING_DIR}/doc/changelog.gz
        DESTINATION ${SPINDREL_DOC_INSTALL_DIR})
spindrel_install_dir(${SPINDREL_DOC_INSTALL_DIR})

# What an install needs built, for building the package without the tests.
add_custom_target(spindrel_installables DEPENDS ${SPINDREL_PROGRAM_current} ${SPINDREL_PROGRAM_r1}
                  ${SPINDREL_PROGRAM_r2} ${SPINDREL_PROGRAM_r3} spindrel_data spindrel_icons
                  spindrel_man spindrel_changelog)

list(REMOVE_DUPLICATES SPINDREL_INSTALL_DIRS)
list(SORT SPINDREL_INSTALL_DIRS)
list(JOIN SPINDREL_INSTALL_DIRS "\n" SPINDREL_INSTALL_DIRS_TEXT)
file(WRITE ${CMAKE_BINARY_DIR}/install_dirs.txt "${SPINDREL_INSTALL_DIRS_TEXT}\n")

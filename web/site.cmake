# The browser site: one page per program and one per replay tool, linked
# from the same targets as the desktop ones, each with its shell page and
# the data files of the native build's generator (SPINDREL_DATA_DIR), which
# the browser build cannot compile.
if(NOT SPINDREL_DATA_DIR OR NOT EXISTS ${SPINDREL_DATA_DIR}/nodes.bmp)
  message(FATAL_ERROR "SPINDREL_DATA_DIR must name the native build's folder of data files")
endif()
set(SPINDREL_SITE_DIR ${CMAKE_BINARY_DIR}/site)

# spindrel_web_page(TARGET PAGE SHELL FILE...): links TARGET as PAGE.html
# from the shell page SHELL, with the data files preloaded at the root of
# the page's file system (pictures decoded by the browser).
function(spindrel_web_page target page shell)
  set(preload)
  set(inputs ${shell})
  foreach(file ${ARGN})
    list(APPEND preload "SHELL:--preload-file ${SPINDREL_DATA_DIR}/${file}@/${file}")
    list(APPEND inputs ${SPINDREL_DATA_DIR}/${file})
  endforeach()
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${page} SUFFIX .html RUNTIME_OUTPUT_DIRECTORY ${SPINDREL_SITE_DIR}
    LINK_DEPENDS "${inputs}")
  target_link_options(${target} PRIVATE
    -sMINIFY_HTML=0 -sALLOW_MEMORY_GROWTH=1 --use-preload-plugins
    "SHELL:--shell-file ${shell}" ${preload})
endfunction()

foreach(rev ${SPINDREL_REVISIONS})
  string(TOLOWER ${SPINDREL_PROGRAM_${rev}} page)
  spindrel_web_page(${SPINDREL_PROGRAM_${rev}} ${page} ${CMAKE_SOURCE_DIR}/web/game.html
    font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3)
  spindrel_web_page(spindrel-replay${SPINDREL_SUFFIX_${rev}} replay${SPINDREL_SUFFIX_${rev}}
    ${CMAKE_SOURCE_DIR}/web/replay.html font.bmp ui.bmp nodes.bmp)
endforeach()

# The front page, the game pages' full screen, and the replay scenarios beside the replay pages.
configure_file(${CMAKE_SOURCE_DIR}/web/index.html ${SPINDREL_SITE_DIR}/index.html COPYONLY)
configure_file(${CMAKE_SOURCE_DIR}/web/screen.js ${SPINDREL_SITE_DIR}/screen.js COPYONLY)
file(GLOB SPINDREL_REPLAY_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/replay/*.replay)
foreach(script ${SPINDREL_REPLAY_SCRIPTS})
  get_filename_component(name ${script} NAME)
  configure_file(${script} ${SPINDREL_SITE_DIR}/${name} COPYONLY)
endforeach()

# The online page, played through the game's server.
include(${CMAKE_CURRENT_LIST_DIR}/online/online.cmake)

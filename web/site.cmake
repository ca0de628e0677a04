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

# The front page; the pages' full screen, fitting, pointer and offline
# scripts; the manifest and its icons; and the replay scenarios beside the
# replay pages.
foreach(file index.html screen.js fit.js pointer.js offline.js manifest.webmanifest)
  configure_file(${CMAKE_SOURCE_DIR}/web/${file} ${SPINDREL_SITE_DIR}/${file} COPYONLY)
endforeach()
foreach(size 192 512)
  if(NOT EXISTS ${SPINDREL_DATA_DIR}/icon-${size}.png)
    message(FATAL_ERROR "SPINDREL_DATA_DIR has no icon-${size}.png: build spindrel_web_icons there")
  endif()
  configure_file(${SPINDREL_DATA_DIR}/icon-${size}.png ${SPINDREL_SITE_DIR}/icon-${size}.png COPYONLY)
endforeach()
file(GLOB SPINDREL_REPLAY_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/replay/*.replay)
foreach(script ${SPINDREL_REPLAY_SCRIPTS})
  get_filename_component(name ${script} NAME)
  configure_file(${script} ${SPINDREL_SITE_DIR}/${name} COPYONLY)
endforeach()

# The online page, played through the game's server.
include(${CMAKE_CURRENT_LIST_DIR}/online/online.cmake)

# The service worker, written after every page with the list of the site's
# files and a digest of them as its version.
add_custom_target(spindrel_offline ALL
  COMMAND ${CMAKE_COMMAND} -DSITE=${SPINDREL_SITE_DIR} -DTEMPLATE=${CMAKE_SOURCE_DIR}/web/sw.js.in
    -P ${CMAKE_SOURCE_DIR}/web/offline.cmake
  COMMENT "Writing the site's service worker")
foreach(rev ${SPINDREL_REVISIONS})
  add_dependencies(spindrel_offline ${SPINDREL_PROGRAM_${rev}})
endforeach()
add_dependencies(spindrel_offline spindrel-online)

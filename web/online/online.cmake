# The online page: the game of CSpindrel with the page's seam instead of its
# own frame loop, and the page's scripts beside it.
add_executable(spindrel-online ${CMAKE_CURRENT_LIST_DIR}/online_main.cpp)
target_link_libraries(spindrel-online PRIVATE spindrel_game_current)
spindrel_web_page(spindrel-online online ${CMAKE_CURRENT_LIST_DIR}/online.html
  font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3)
target_link_options(spindrel-online PRIVATE "-sEXPORTED_RUNTIME_METHODS=['UTF8ToString']")
foreach(script online_page.js online_view.js online_lockstep.js online_phone.js)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${script} ${SPINDREL_SITE_DIR}/${script} COPYONLY)
endforeach()
# The protocol's schema, generated for the page beside its scripts.
include(${CMAKE_SOURCE_DIR}/server/protocol.cmake)
add_dependencies(spindrel-online spindrel_protocol_files)
add_custom_command(TARGET spindrel-online POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
  ${SPINDREL_PROTOCOL_DIR}/protocol.js ${SPINDREL_SITE_DIR}/protocol.js)

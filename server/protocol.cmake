# protocol.h (the server's and the load tool's) and protocol.js (the page's),
# generated from the protocol's one schema, server/protocol.json, with the
# board's size from the game's own settings. spindrel_protocol_files makes
# them; spindrel_protocol puts protocol.h on a target's include path.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(SPINDREL_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/protocol)
add_custom_command(
  OUTPUT ${SPINDREL_PROTOCOL_DIR}/protocol.h ${SPINDREL_PROTOCOL_DIR}/protocol.js
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/protocol/generate.py
    ${CMAKE_SOURCE_DIR}/server/protocol.json ${CMAKE_SOURCE_DIR}/revisions/current.h
    ${SPINDREL_PROTOCOL_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/protocol/generate.py ${CMAKE_SOURCE_DIR}/server/protocol.json
    ${CMAKE_SOURCE_DIR}/revisions/current.h
  VERBATIM)
add_custom_target(spindrel_protocol_files
  DEPENDS ${SPINDREL_PROTOCOL_DIR}/protocol.h ${SPINDREL_PROTOCOL_DIR}/protocol.js)
add_library(spindrel_protocol INTERFACE)
target_include_directories(spindrel_protocol INTERFACE ${SPINDREL_PROTOCOL_DIR})

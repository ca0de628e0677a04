# The online part (spindrel-server and the load tool) needs Boost's Beast and
# Asio, nlohmann's JSON, SQLiteCpp, OpenSSL's libcrypto and CLI11 (tools/cli11.cmake); the game builds
# without them.
# SPINDREL_SERVER=AUTO (the default) builds it where all are present, ON
# insists on it, OFF leaves it out.
set(SPINDREL_SERVER AUTO CACHE STRING "Build the online server and load tool: AUTO, ON or OFF")
set_property(CACHE SPINDREL_SERVER PROPERTY STRINGS AUTO ON OFF)
if(SPINDREL_SERVER)
  find_package(Boost 1.70 QUIET)
  find_package(nlohmann_json 3 QUIET)
  find_package(Threads QUIET)
  find_package(SQLiteCpp QUIET)
  find_package(OpenSSL QUIET COMPONENTS Crypto)
  set(missing)
  foreach(pair Boost:Boost_FOUND nlohmann-json:nlohmann_json_FOUND threads:Threads_FOUND
               SQLiteCpp:SQLiteCpp_FOUND OpenSSL-libcrypto:OpenSSL_FOUND CLI11:CLI11_INCLUDE_DIR)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 name)
    list(GET pair 1 found)
    if(NOT ${found})
      list(APPEND missing ${name})
    endif()
  endforeach()
  list(JOIN missing ", " missing)
  if(missing AND SPINDREL_SERVER STREQUAL AUTO)
    message(STATUS "The online server is left out; not found: ${missing}")
  elseif(missing)
    message(FATAL_ERROR "SPINDREL_SERVER=ON, but not found: ${missing}")
  else()
    set(SPINDREL_WITH_SERVER ON)
    include(${CMAKE_CURRENT_LIST_DIR}/protocol.cmake)
  endif()
endif()

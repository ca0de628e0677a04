# The Windows zip, build-windows/CSpindrel-VERSION-win64.zip: one folder with
# the four programs, the DLLs of SDL, SDL_mixer and libmpg123, the data files
# of the native build's generator (SPINDREL_DATA_DIR), the players' README
# and the libraries' licences. The DLLs and data also go beside the programs
# and replay tools in bin/, where the tests run them.
if(NOT SPINDREL_DATA_DIR OR NOT EXISTS ${SPINDREL_DATA_DIR}/nodes.bmp)
  message(FATAL_ERROR "SPINDREL_DATA_DIR must name the native build's folder of data files")
endif()
# The DLLs the programs load (mpg123's build also makes libraries they do not).
set(SPINDREL_WIN_DLLS)
foreach(dll SDL.dll SDL_mixer.dll libmpg123-0.dll)
  list(APPEND SPINDREL_WIN_DLLS ${SPINDREL_WIN_PREFIX}/bin/${dll})
endforeach()
set(data font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3)
set(name CSpindrel-${PROJECT_VERSION}-win64)
set(stage ${CMAKE_BINARY_DIR}/zip/${name})
set(programs)
foreach(rev ${SPINDREL_REVISIONS})
  list(APPEND programs $<TARGET_FILE:${SPINDREL_PROGRAM_${rev}}>)
endforeach()
set(staged)
foreach(file ${SPINDREL_WIN_DLLS})
  get_filename_component(file ${file} NAME)
  list(APPEND staged ${stage}/${file})
endforeach()
foreach(rev ${SPINDREL_REVISIONS})
  list(APPEND staged ${stage}/${SPINDREL_PROGRAM_${rev}}.exe)
endforeach()
set(inputs)
foreach(file ${data})
  list(APPEND inputs ${SPINDREL_DATA_DIR}/${file})
endforeach()

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/${name}.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/licences
  COMMAND ${CMAKE_COMMAND} -E copy ${programs} ${SPINDREL_WIN_DLLS} ${inputs} ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${SPINDREL_WIN_DLLS} ${inputs} ${SPINDREL_OUTPUT_DIR}
  COMMAND ${CMAKE_STRIP} --strip-unneeded ${staged}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/windows/README.txt ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${SPINDREL_WIN_PREFIX}/licences ${stage}/licences
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${name}.zip --format=zip ${name}
  DEPENDS ${programs} ${inputs} ${SPINDREL_WIN_DLLS} ${CMAKE_SOURCE_DIR}/windows/README.txt
  COMMENT "Packing ${name}.zip")
add_custom_target(spindrel_zip ALL DEPENDS ${CMAKE_BINARY_DIR}/${name}.zip)

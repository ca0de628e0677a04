# The second Debian package, spindrel-server: the server, the site's files
# (the browser build's site folder, named by SPINDREL_SITE_DIR), its systemd
# unit, settings file and manual page. Its install rules belong to the
# component "server" and stay out of a plain install and of the game's
# package; make deb runs CPack a second time with the configuration written
# here, which installs that component alone.
if(NOT TARGET spindrel-server OR NOT SPINDREL_SITE_DIR)
  return()
endif()
set(dir ${CMAKE_SOURCE_DIR}/packaging/server)
set(out ${CMAKE_BINARY_DIR}/packaging/server)
set(doc ${CMAKE_INSTALL_DATADIR}/doc/spindrel-server)
macro(server_install kind)
  install(${kind} ${ARGN} COMPONENT server EXCLUDE_FROM_ALL)
endmacro()

configure_file(${dir}/spindrel-server.8.in ${out}/spindrel-server.8 @ONLY)
configure_file(${dir}/changelog.in ${out}/changelog @ONLY)
add_custom_command(OUTPUT ${out}/spindrel-server.8.gz ${out}/changelog.gz
                   COMMAND gzip -9 -n -k -f ${out}/spindrel-server.8 ${out}/changelog
                   DEPENDS ${out}/spindrel-server.8 ${out}/changelog
                   COMMENT "Compressing the server's manual page and changelog")
add_custom_target(spindrel_server_installables
                  DEPENDS spindrel-server ${out}/spindrel-server.8.gz ${out}/changelog.gz)

server_install(TARGETS spindrel-server RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
server_install(DIRECTORY ${SPINDREL_SITE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/spindrel-server/site)
server_install(FILES ${dir}/spindrel-server.service DESTINATION lib/systemd/system)
server_install(FILES ${dir}/spindrel-server.default DESTINATION /etc/default RENAME spindrel-server)
server_install(FILES ${out}/spindrel-server.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
server_install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${out}/changelog.gz DESTINATION ${doc})

set(SPINDREL_SERVER_CONTROL ${dir}/postinst ${dir}/prerm ${dir}/postrm ${dir}/conffiles)
configure_file(${dir}/cpack.cmake.in ${CMAKE_BINARY_DIR}/CPackServerConfig.cmake @ONLY)

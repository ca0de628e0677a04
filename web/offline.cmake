# cmake -DSITE=DIR -DTEMPLATE=sw.js.in -P offline.cmake: writes SITE/sw.js,
# the service worker, with the list of the site's files to keep offline (all
# but the replay tools, their scenarios and the worker itself) and a version that is a digest
# of their contents, so that a new build replaces the cache.
file(GLOB files RELATIVE ${SITE} ${SITE}/*)
list(FILTER files EXCLUDE REGEX "^(replay|sw\\.js$)|\\.replay$")
list(SORT files)
set(digests "")
set(names "'./'")
foreach(name ${files})
  if(NOT IS_DIRECTORY ${SITE}/${name})
    file(SHA256 ${SITE}/${name} digest)
    string(APPEND digests "${name} ${digest}\n")
    string(APPEND names ", '${name}'")
  endif()
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING ${version} 0 16 SPINDREL_SITE_VERSION)
set(SPINDREL_SITE_FILES ${names})
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)

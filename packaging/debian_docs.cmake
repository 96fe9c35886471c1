# Run by CPack before it packs the staged files: adds the copyright and
# changelog files that a Debian package carries in its documentation folder.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(doc "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/doc/gompertz")
file(MAKE_DIRECTORY "${doc}")
file(COPY "${GOMPERTZ_SOURCE_DIR}/packaging/debian/copyright" DESTINATION "${doc}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
configure_file("${GOMPERTZ_SOURCE_DIR}/packaging/debian/changelog" "${doc}/changelog" @ONLY)
execute_process(COMMAND gzip -9nf "${doc}/changelog" RESULT_VARIABLE gzipped)
if(NOT gzipped EQUAL 0)
  message(FATAL_ERROR "could not compress the changelog")
endif()
file(CHMOD "${doc}/changelog.gz" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The Debian package vyr-extract_<version>_<arch>.deb: both programs, their manual pages, the
# desktop entry, the MIME type and the icon (installed by app/ and cli/), and the files Debian
# policy asks of every package. `cpack --preset deb` (or ./package) builds it from the release
# build.
include(GNUInstallDirs)

set(VYR_MAINTAINER "vyr Extract maintainers <maintainers@vyr-extract.example.org>" CACHE STRING
    "Maintainer field of the Debian package, and the address its changelog signs with")

set(vyr_debian_dir ${PROJECT_SOURCE_DIR}/packaging/debian)
set(vyr_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vyr-extract)

# The changelog's newest entry names the version it ships; a version bump without an entry
# would ship an older package's history under the new number.
file(STRINGS ${vyr_debian_dir}/changelog vyr_changelog_top LIMIT_COUNT 1)
if(NOT vyr_changelog_top MATCHES "^vyr-extract \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the newest entry is not for ${PROJECT_VERSION}: ${vyr_changelog_top}")
endif()

# Debian wants manual pages and changelogs compressed at the highest level, without a time
# stamp in the gzip header so that two builds give the same bytes.
find_program(VYR_GZIP gzip REQUIRED)
set(vyr_compressed)
function(vyr_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${VYR_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}")
  set(vyr_compressed ${vyr_compressed} ${output} PARENT_SCOPE)
endfunction()

set(vyr_man_pages vyr.1)
if(VYR_GUI)
  list(APPEND vyr_man_pages vyr-extract.1)
endif()
foreach(page IN LISTS vyr_man_pages)
  vyr_gzip(${PROJECT_SOURCE_DIR}/docs/man/${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# A package whose version has no Debian revision is native: its changelog is changelog.gz.
vyr_gzip(${vyr_debian_dir}/changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz ${vyr_debian_dir}/copyright DESTINATION ${vyr_doc_dir})
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man ${CMAKE_CURRENT_BINARY_DIR}/doc)
add_custom_target(vyr_docs ALL DEPENDS ${vyr_compressed})

set(CPACK_PACKAGE_NAME vyr-extract)
set(CPACK_PACKAGE_VENDOR "vyr Extract maintainers")
set(CPACK_PACKAGE_CONTACT "${VYR_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "extract the tracks of .vyr album files")
set(CPACK_PACKAGE_DESCRIPTION [=[
vyr Extract writes the tracks stored in a .vyr album file (a text header in
the manner of an extended M3U playlist, followed by the tracks' bytes end to
end) out as separate files, byte for byte, never over an existing file. For a
file without a valid header (a damaged album, MP3 files joined end to end) a
recovery scan finds the MP3 boundaries by their ID3, Xing, Info and VBRI
markers.

The package holds the Qt window vyr-extract, which opens .vyr files from the
file manager, and the command-line tool vyr for scripts, with JSON output.]=])
set(CPACK_PACKAGE_HOMEPAGE_URL "${VYR_SITE_ADDRESS}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VYR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, as dpkg-shlibdeps finds them in the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

# Desktop integration, install rules and the Debian package: the program icon
# in the hicolor sizes and as SVG (drawn by gen_icons), the user guide made
# from the README's usage part (gen_guide), the manual page (gen_man), the
# desktop entry, the MIME type of documents, the AppStream metainfo, the
# copyright file and changelog, and CPack's DEB generator.
include(GNUInstallDirs)

set(TRELLUM_ICON_SIZES 16 22 24 32 48 64 128 256)
set(_icon_dir ${CMAKE_BINARY_DIR}/icons)
set(_icon_files ${_icon_dir}/trellum.svg)
foreach(_size ${TRELLUM_ICON_SIZES})
  list(APPEND _icon_files ${_icon_dir}/trellum-${_size}.png)
endforeach()
add_custom_command(OUTPUT ${_icon_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_icon_dir}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:gen_icons> --program ${_icon_dir} ${TRELLUM_ICON_SIZES}
  DEPENDS gen_icons
  COMMENT "Drawing the program icon"
  VERBATIM)

# The build tree's copy sits beside the program, where Help > User guide
# looks when the installed one is missing.
set(TRELLUM_USER_GUIDE ${CMAKE_BINARY_DIR}/user-guide.html)
add_custom_command(OUTPUT ${TRELLUM_USER_GUIDE}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:gen_guide> ${CMAKE_SOURCE_DIR}/README.md ${TRELLUM_USER_GUIDE} "Trellum user guide"
  DEPENDS gen_guide ${CMAKE_SOURCE_DIR}/README.md
  COMMENT "Making the user guide"
  VERBATIM)
# The manual page: the program's usage text and the README, so it cannot
# drift from either. Its date is the metainfo's date of this release.
file(STRINGS ${CMAKE_SOURCE_DIR}/data/org.trellum.Trellum.metainfo.xml _release
     REGEX "<release version=\"${PROJECT_VERSION}\" date=\"[0-9-]+\"")
string(REGEX REPLACE ".*date=\"([0-9-]+)\".*" "\\1" TRELLUM_RELEASE_DATE "${_release}")
if(NOT TRELLUM_RELEASE_DATE)
  message(FATAL_ERROR "data/org.trellum.Trellum.metainfo.xml has no release ${PROJECT_VERSION}")
endif()
set(TRELLUM_MANUAL ${CMAKE_BINARY_DIR}/trellum.1)
# Packaged files are compressed with gzip -9n: no name or time stamp, so the
# same sources give the same package.
add_custom_command(OUTPUT ${TRELLUM_MANUAL} ${TRELLUM_MANUAL}.gz
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:gen_man> ${CMAKE_SOURCE_DIR}/README.md ${TRELLUM_MANUAL} ${PROJECT_VERSION}
          ${TRELLUM_RELEASE_DATE} $<TARGET_FILE:trellum>
  COMMAND gzip -9nkf ${TRELLUM_MANUAL}
  DEPENDS gen_man trellum ${CMAKE_SOURCE_DIR}/README.md
  COMMENT "Making the manual page"
  VERBATIM)
# A native package (no Debian revision) names it changelog.gz.
set(_changelog ${CMAKE_BINARY_DIR}/changelog)
add_custom_command(OUTPUT ${_changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/changelog ${_changelog}
  COMMAND gzip -9nf ${_changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(trellum_desktop_files ALL DEPENDS ${_icon_files} ${TRELLUM_USER_GUIDE} ${TRELLUM_MANUAL}.gz
                  ${_changelog}.gz)

install(TARGETS trellum RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/trellum.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/trellum.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.trellum.Trellum.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(_size ${TRELLUM_ICON_SIZES})
  install(FILES ${_icon_dir}/trellum-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps RENAME trellum.png)
endforeach()
install(FILES ${_icon_dir}/trellum.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The program finds the guide at ../share/doc/trellum/ from its own folder.
install(FILES ${TRELLUM_USER_GUIDE} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trellum)
install(FILES ${CMAKE_SOURCE_DIR}/data/copyright ${_changelog}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trellum)
install(FILES ${TRELLUM_MANUAL}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trellum)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measuring on magnified camera pictures")
set(CPACK_PACKAGE_DESCRIPTION "Trellum shows the live picture of a microscope camera and measures on it:
lengths, boxes, circles and angles by hand; widths, heights, shapes and blobs
automatically on a threshold of the picture. Frozen pictures are kept as
documents with their measurements and exported as tables and pictures.")
set(CPACK_PACKAGE_CONTACT "Trellum developers <developers@trellum.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# The libraries linked come from dpkg-shlibdeps; what is only loaded at run
# time is named here: the camera pipeline's GStreamer plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_STRIP_FILES ON)
include(CPack)

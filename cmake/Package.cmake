# `cpack -G DEB` makes one Debian package, folioset, from the install rules (scripts/package.sh
# builds it in Release). Included by the top-level CMakeLists.txt after cmake/Install.cmake.

set(FOLIOSET_MAINTAINER "Quillmark <packages@quillmark.example>")

# The documentation folder of every Debian package holds its changelog and its copyright. Both
# are made from what the program already ships: the releases of the metainfo and the end-user
# license agreement, with the copyright line the About window shows.
file(READ ${PROJECT_SOURCE_DIR}/platform/folioset2.json.in information)
string(REGEX MATCH "\"NSHumanReadableCopyright\": \"([^\"]+)\"" copyright_entry "${information}")
if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "platform/folioset2.json.in names no NSHumanReadableCopyright")
endif()
set(debian_docs ${PROJECT_BINARY_DIR}/debian)
set(metainfo ${PROJECT_SOURCE_DIR}/resources/desktop/com.quillmark.Folioset.metainfo.xml)
set(agreement ${PROJECT_SOURCE_DIR}/resources/text/eula.html)
add_custom_command(OUTPUT ${debian_docs}/changelog.gz ${debian_docs}/copyright
    COMMAND ${CMAKE_COMMAND} -E make_directory ${debian_docs}
    COMMAND folioset_makedebiandocs ${metainfo} ${agreement} ${PROJECT_VERSION}
            ${FOLIOSET_MAINTAINER} ${CMAKE_MATCH_1} ${debian_docs}
    DEPENDS folioset_makedebiandocs ${metainfo} ${agreement}
            ${PROJECT_SOURCE_DIR}/platform/folioset2.json.in
    COMMENT "Making the package's changelog and copyright"
    VERBATIM)
add_custom_target(folioset_debiandocs ALL
    DEPENDS ${debian_docs}/changelog.gz ${debian_docs}/copyright)
install(FILES ${debian_docs}/changelog.gz ${debian_docs}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/folioset)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME folioset)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${FOLIOSET_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL https://quillmark.example)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn photos and scans into PDF documents without loss")
# Lines of at most 79 characters; an empty line starts a paragraph.
set(CPACK_PACKAGE_DESCRIPTION [=[
Folioset turns image files (BMP, JPEG, PNG, GIF and multi-page TIFF) into
PDF documents. JPEG photographs are carried into the PDF byte for byte, and
every other format is compressed without loss. Files are gathered in a list
and combined into a PDF per image, one PDF for all, or numbered PDFs of a
chosen number of images, with a title, author, subject and keywords,
passwords, printing and copying rights, and a bookmark per image.

This package holds both desktop editions, folioset2 and the first-generation
folioset1 (Folioset Classic), and folioset-cli, a command-line front end to
the same engine for scripts and batch work.
]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from the binaries themselves (dpkg-shlibdeps, from dpkg-dev). Qt loads two
# kinds of plugin that no binary names: the window system's (without it the windows cannot
# open) and the image formats beyond JPEG, PNG, BMP and GIF (TIFF).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
include(CPack)

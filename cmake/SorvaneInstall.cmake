# `cmake --install` and `cpack -G DEB`.
#
# The program looks for its help pages in the folder help/ beside its executable, so both
# executables live in a program folder of their own, lib/sorvane/, with help/ beside them; bin/
# holds links to them (the program finds its folder through the link). The samples go to
# share/sorvane/samples, the desktop entry and the icon to their usual places in share/.
include(GNUInstallDirs)

set(SORVANE_PROGRAM_DIR lib/sorvane)

install(TARGETS sorvane sorvane-run RUNTIME DESTINATION ${SORVANE_PROGRAM_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION ${SORVANE_PROGRAM_DIR}/help)
# The samples come with their own checkout; an installation without them is still complete.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/sorvane/samples
        OPTIONAL)
install(FILES ${PROJECT_SOURCE_DIR}/dist/sorvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/sorvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Relative links, so that the tree can be moved (a package's staging folder, a test's prefix).
foreach(program sorvane sorvane-run)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"../${SORVANE_PROGRAM_DIR}/${program}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Linking: \${link}\")")
endforeach()

set(CPACK_PACKAGE_NAME sorvane)
set(CPACK_PACKAGE_VENDOR "The Sorvane developers")
set(CPACK_PACKAGE_CONTACT "Sorvane support <support@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "extracts data records from web pages and local text and HTML files")
set(CPACK_PACKAGE_DESCRIPTION
    "A templet says where the text comes from and how records are cut out of it; a run shows the records in a grid, from where they go into the program's own tables, a CSV file or a free text pattern. sorvane-run runs templets without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.example.com/sorvane/index.html")
# The libraries the executables link (Qt 6 widgets, SQLite, libcurl, PCRE2, QScintilla, the C++
# runtime) are found by dpkg-shlibdeps; Qt's platform plugins are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
include(CPack)

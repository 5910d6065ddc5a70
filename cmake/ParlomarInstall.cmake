# The installed layout under a prefix, and the Debian package built from it with CPack:
#   bin/ParlomarClient
#   share/parlomarclient/                 the language file, the shipped skins, the default settings
#   share/applications/, share/metainfo/  the desktop entry and its AppStream description
#   share/icons/hicolor/                  the program's icon in several sizes and as a drawing
#   bin/parlomar-cli                      the command-line companion
#   share/man/man1/ParlomarClient.1.gz, parlomar-cli.1.gz
#   share/bash-completion/completions/parlomar-cli
#   share/doc/parlomarclient/             the copyright file and the package's changelog
#   share/lintian/overrides/parlomarclient  what Debian's package checker need not report

# The manual page and the package's changelog carry the version and its date, and are compressed as
# Debian installs them.
configure_file("${CMAKE_SOURCE_DIR}/data/ParlomarClient.1" "${CMAKE_BINARY_DIR}/man/ParlomarClient.1" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/data/debian/changelog.in" "${CMAKE_BINARY_DIR}/doc/changelog.Debian" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/src/cli/parlomar-cli.1" "${CMAKE_BINARY_DIR}/man/parlomar-cli.1" @ONLY)
set(PARLOMAR_MAN_PAGE "${CMAKE_BINARY_DIR}/man/ParlomarClient.1.gz")
set(PARLOMAR_CLI_MAN_PAGE "${CMAKE_BINARY_DIR}/man/parlomar-cli.1.gz")
set(PARLOMAR_CHANGELOG "${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz")
foreach(pair IN ITEMS "man/ParlomarClient.1|${PARLOMAR_MAN_PAGE}" "man/parlomar-cli.1|${PARLOMAR_CLI_MAN_PAGE}"
             "doc/changelog.Debian|${PARLOMAR_CHANGELOG}")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 plain)
    list(GET pair 1 packed)
    add_custom_command(OUTPUT "${packed}"
        COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" "${CMAKE_BINARY_DIR}/${plain}" "${packed}"
        DEPENDS "${CMAKE_BINARY_DIR}/${plain}"
        VERBATIM)
endforeach()
add_custom_target(parlomar_man_page ALL DEPENDS "${PARLOMAR_MAN_PAGE}" "${PARLOMAR_CLI_MAN_PAGE}" "${PARLOMAR_CHANGELOG}")

install(TARGETS ParlomarClient parlomar-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${CMAKE_SOURCE_DIR}/data/Localization/English.lng"
    DESTINATION "${PARLOMAR_INSTALL_DATADIR}/Localization")
install(FILES "${CMAKE_SOURCE_DIR}/data/ParlomarClient.ini" DESTINATION "${PARLOMAR_INSTALL_DATADIR}")
install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/${PARLOMAR_APP_ID}.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/${PARLOMAR_APP_ID}.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
foreach(size IN LISTS PARLOMAR_ICON_SIZES)
    install(FILES "${PARLOMAR_ICON_DIR}/${size}.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME "${PARLOMAR_APP_ID}.png")
endforeach()
install(FILES "${PARLOMAR_ICON_SOURCE}"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" RENAME "${PARLOMAR_APP_ID}.svg")
install(FILES "${PARLOMAR_MAN_PAGE}" "${PARLOMAR_CLI_MAN_PAGE}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${CMAKE_SOURCE_DIR}/src/cli/parlomar-cli.bash-completion"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME parlomar-cli)
install(FILES "${CMAKE_SOURCE_DIR}/data/debian/copyright" "${PARLOMAR_CHANGELOG}"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/parlomarclient")
install(FILES "${CMAKE_SOURCE_DIR}/data/debian/lintian-overrides"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME parlomarclient)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "parlomarclient")
set(CPACK_PACKAGE_VENDOR "Parlomar")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Parlomar <bugs@parlomar.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "administer the hosting accounts and packages of a web-hosting server")
# The long description in lines of at most 80 characters, as Debian's tools expect.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "ParlomarClient is a desktop client for the operator of a web-hosting server.\n"
    "It signs in to the server's remote control server and administers its hosting\n"
    "accounts and hosting packages through the control server's XML API over HTTPS:\n"
    "accounts are searched, filtered, sorted, created, suspended, given a new\n"
    "password or a bandwidth limit and deleted, also several at once; packages are\n"
    "listed, created, edited and deleted.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.parlomar.example/")
# The library dependencies are read from the binary (dpkg-shlibdeps). The trace tool runs the system
# traceroute; the windows ask for Arial, which Liberation stands in for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "traceroute, fonts-liberation")
include(CPack)

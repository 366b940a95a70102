# The Debian package, built by `cpack -G DEB` in a build tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/vebix-dev package does both, and checks the result with
# scripts/check-package.sh). The package holds what `cmake --install` installs, plus the files
# Debian wants: the copyright in its machine-readable form, the packaging changelog and the
# lintian overrides. cmake/debian/staging.cmake.in adds them to the staging folder.

set(CPACK_PACKAGE_NAME vebix)
set(CPACK_PACKAGE_VENDOR "The Vebix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vebix developers <vebix@vebix.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vebix.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chatbot that learns by remembering")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

set(CPACK_DEBIAN_PACKAGE_NAME vebix)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links (Qt, libedit, the C++ runtime), found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the extended description, each line
# a line of it and "." an empty line between paragraphs.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vebix is a chatbot for the desktop. Everything said to it, and everything it"
    "says, is added to its mind, a text file that only grows; every reply is picked"
    "from, or pieced together out of, the lines it remembers."
    "."
    "The chat window talks with one mind. The same program works without a window:"
    "the terminal commands chat, teach a mind from text files and the chat logs"
    "people keep (IRC clients, Telegram and WhatsApp exports), give one reply or"
    "describe a mind. A mind can also live in IRC chat rooms, learning and"
    "answering there, kept running by a systemd user unit. Vebix also answers"
    "other chatbots one message at a time through a file in its folder, and can"
    "link with another bot so that the two of them chat.")

# Debian's own files, made from the sources at configure time; the changelog names the release
# of CMakeLists.txt, as the metainfo does.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
               ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
set(VEBIX_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)
set(VEBIX_DEBIAN_SOURCE ${PROJECT_SOURCE_DIR}/cmake/debian)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/staging.cmake.in
               ${PROJECT_BINARY_DIR}/debian/staging.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/debian/staging.cmake)

include(CPack)

# Install layout and the Debian package.
#
# The program looks for its template settings file and its help page in
# the folder of its own executable, so all three go into one program folder
# (<prefix>/lib/quorvamel). The commands on the PATH are relative symlinks
# into that folder; the program resolves them through /proc/self/exe, so the
# folder it sees is the real one, not bin/.
#
# Only the two programs and their companions are installed: tests, benches
# and the demo server never are.

set(QUORVAMEL_PROGRAM_DIR lib/quorvamel)
set(QUORVAMEL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

set(quorvamel_programs quorvamel)
if(TARGET quorvamel-check)
  list(APPEND quorvamel_programs quorvamel-check)
endif()

install(TARGETS ${quorvamel_programs} RUNTIME DESTINATION ${QUORVAMEL_PROGRAM_DIR})

# The build writes the template owner-only through the atomic writer; the
# installed copy must be readable by every user who starts the program.
install(FILES ${CMAKE_BINARY_DIR}/bin/quorvamel.ini ${CMAKE_BINARY_DIR}/bin/QuorvamelHelp.htm
        DESTINATION ${QUORVAMEL_PROGRAM_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Symlinks made in the build tree and installed as links (file(INSTALL)
# keeps a symlink a symlink), so they work under DESTDIR and in CPack too.
set(quorvamel_link_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${quorvamel_link_dir})
foreach(program IN LISTS quorvamel_programs)
  file(CREATE_LINK ../${QUORVAMEL_PROGRAM_DIR}/${program} ${quorvamel_link_dir}/${program} SYMBOLIC)
  install(FILES ${quorvamel_link_dir}/${program} DESTINATION bin)
endforeach()

install(FILES ${QUORVAMEL_PACKAGING_DIR}/quorvamel.desktop DESTINATION share/applications)
install(FILES ${QUORVAMEL_PACKAGING_DIR}/quorvamel.svg DESTINATION share/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvamel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvamel")
set(CPACK_PACKAGE_CONTACT "Quorvamel maintainers <quorvamel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop POP3 mail checker")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Library dependencies are read off the installed executables
# (dpkg-shlibdeps), so they follow whatever Qt the build linked against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Accounts on port 995 verify the server against the system's trusted
# certificates; the help page opens through xdg-open. Neither shows up in a
# library scan. (The X11 platform plugin ships in libqt6gui6, which the scan
# finds through libQt6Widgets.)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "desktop POP3 mail checker
 Quorvamel logs in to every configured POP3 account with one click, reads
 only the header block of each waiting message and lists sender, subject
 and date of all of them in one list, new mail marked against mail already
 seen. Marked messages can be deleted on their servers. Checks can repeat on
 a timer with a sound or an alarm, and the window can live in the
 notification area.
 .
 The package also holds quorvamel-check, which runs one check from the
 command line and prints the list as text or JSON.")
include(CPack)

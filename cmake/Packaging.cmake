# What the install lays out beside the programs, plug-ins and manual pages,
# and the Debian package made from the same rules (`make package`: CPack's
# DEB generator).
#
#   bin/cadenza, bin/cadenza-genwave, bin/cadenza-sim
#   lib/cadenza/plugins/*.so
#   share/applications/cadenza.desktop
#   share/icons/hicolor/48x48/apps/cadenza.png, .../scalable/apps/cadenza.svg
#   share/cadenza/examples/demo/   (settings.ini, Projects/Demo.prj, Waveforms/)
#   share/man/man1/*.1.gz, share/doc/cadenza/README.md
#
# The 48 px icon is the scalable one drawn at 48 x 48.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/cadenza.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/cadenza-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME cadenza.png)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/cadenza.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/demo DESTINATION ${CADENZA_INSTALL_DATADIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/cadenza)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cadenza)
set(CPACK_PACKAGE_VENDOR "Cadenza developers")
set(CPACK_PACKAGE_CONTACT "Cadenza developers <cadenza@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "RF pulse sequence designer for vector signal generators")
set(CPACK_PACKAGE_DESCRIPTION
    "Cadenza designs RF pulses (timing, edges, levels, intra-pulse chirps and phase\n"
    "codes, jitter, markers), arranges them into sequences and multi-segment\n"
    "waveforms, computes the baseband I/Q waveform, writes it as a tagged waveform\n"
    "file and sends it to a vector signal generator over VISA (LAN, USB, GPIB).\n"
    "The package holds the program with its modulation and report plug-ins, a demo\n"
    "project, cadenza-genwave (builds a sequence without the window) and\n"
    "cadenza-sim (a simulated signal generator on 127.0.0.1).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs and plug-ins link (Qt 6, pugixml, libzip,
# libtirpc, the C and C++ run-times) are found by dpkg-shlibdeps. Listed
# here is what the program loads by name at run time: Qt's platform plug-ins
# (the window); the fonts of its panels and the DNS-SD client of the LAN
# search are recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-dejavu-core, libavahi-client3")
include(CPack)

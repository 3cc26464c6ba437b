# `make package`: Debian packages through CPack. Two packages: vesk-warden (the agent as the
# bundle /opt/Applications/VeskWarden.app, its hand-over watcher, the systemd user unit and the
# desktop autostart entry) and vesk-fleetd (the reference fleet server), since a fleet's
# computers run the agent and only one machine runs the server.
set(VESK_BUILD_NUMBER "1" CACHE STRING "CFBundleVersion of the agent's bundle")
set(VESK_BUNDLE_DIR opt/Applications/VeskWarden.app)
configure_file(${PROJECT_SOURCE_DIR}/packaging/Info.plist.in ${CMAKE_BINARY_DIR}/packaging/Info.plist @ONLY)
file(CREATE_LINK /${VESK_BUNDLE_DIR}/Contents/MacOS/vesk-warden ${CMAKE_BINARY_DIR}/packaging/vesk-warden SYMBOLIC)

install(TARGETS vesk-warden vesk-warden-handover RUNTIME DESTINATION ${VESK_BUNDLE_DIR}/Contents/MacOS COMPONENT agent)
install(FILES ${CMAKE_BINARY_DIR}/packaging/Info.plist DESTINATION ${VESK_BUNDLE_DIR}/Contents COMPONENT agent)
install(FILES ${CMAKE_BINARY_DIR}/packaging/vesk-warden DESTINATION usr/bin COMPONENT agent)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vesk-warden.service DESTINATION usr/lib/systemd/user COMPONENT agent)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vesk-warden-autostart.desktop DESTINATION etc/xdg/autostart
        RENAME vesk-warden.desktop COMPONENT agent)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION usr/share/doc/vesk-warden COMPONENT agent)
install(TARGETS vesk-fleetd RUNTIME DESTINATION usr/bin COMPONENT fleetd)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_VENDOR "Lumora")
set(CPACK_PACKAGE_CONTACT "Vesk Warden engineers <warden@lumora.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL agent fleetd)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_AGENT_PACKAGE_NAME vesk-warden)
set(CPACK_DEBIAN_AGENT_DESCRIPTION "Vesk Warden fleet agent\n Keeps the computers of photo and event businesses in line with their fleet: apps, updates, policies, shares and alerts.")
# Beyond the libraries shlibdeps finds: Qt's platform plugins (a display, or offscreen).
set(CPACK_DEBIAN_AGENT_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_AGENT_PACKAGE_RECOMMENDS "systemd")
set(CPACK_DEBIAN_AGENT_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_FLEETD_PACKAGE_NAME vesk-fleetd)
set(CPACK_DEBIAN_FLEETD_DESCRIPTION "Vesk Warden reference fleet server\n The fleet server the Vesk Warden agents talk to: tenants, machines, commands, policies and releases.")
set(CPACK_DEBIAN_FLEETD_PACKAGE_SECTION net)
# The store: SQLite by default, PostgreSQL for several server instances.
set(CPACK_DEBIAN_FLEETD_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_FLEETD_PACKAGE_SUGGESTS "libqt6sql6-psql")
include(CPack)

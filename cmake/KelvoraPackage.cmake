# The Debian packages: `cpack -G DEB` in a build folder (or the `package` target) makes
# kelvora-fido2_<version>_<arch>.deb (the tools, the udev rule, the desktop files) and
# kelvora-fido2-vkey_<version>_<arch>.deb (the virtual key) of what `cmake --install` puts in
# place, one package for each install component. Linux only; a Windows build configures
# without it.
if(WIN32)
  return()
endif()

set(KELVORA_PACKAGE_NAME_tool kelvora-fido2)
set(KELVORA_PACKAGE_NAME_vkey kelvora-fido2-vkey)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KELVORA_PACKAGE_NAME_tool})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool vkey)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${KELVORA_PACKAGE_NAME_tool})
set(CPACK_DEBIAN_VKEY_PACKAGE_NAME ${KELVORA_PACKAGE_NAME_vkey})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvora Fido2 developers")
set(CPACK_PACKAGE_CONTACT "Kelvora Fido2 developers <fido2@kelvora.example>")
# Each package's description: its first line is the summary (CPack would put one shared
# summary above both if CPACK_PACKAGE_DESCRIPTION_SUMMARY were set). Debian wants lines under
# 80 characters; "." stands for an empty line.
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "administration tool for fingerprint FIDO2 security keys
A desktop tool for the maker's USB security keys with a fingerprint sensor:
it shows whether a supported key is plugged in, sets or changes its PIN,
enrols, lists, renames and deletes fingerprints, tests a finger and resets
the key. Nothing is stored on the computer.
.
The package also contains the command line kelvora-fido2 for scripts and
support, and a udev rule that lets the logged-in user open the maker's keys.
The virtual key for trying the tools without hardware is in
kelvora-fido2-vkey.")
set(CPACK_COMPONENT_VKEY_DESCRIPTION
    "virtual fingerprint FIDO2 security key for testing
kelvora-vkey simulates one of the maker's fingerprint security keys on a
Unix-domain socket, for trying kelvora-fido2 and kelvora-fido2-manager and
for testing FIDO2 clients without hardware (KELVORA_VKEY names the socket).
.
It is a test aid: a system that only manages real keys does not need it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.kelvora.example/")
# Libraries come from dpkg-shlibdeps (Qt 6 Widgets and D-Bus, mbed TLS, minizip, libudev);
# what is loaded at run time is listed: the Japanese font of the windows and Qt's platform
# plugins, without which no window opens (offscreen included).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-qpa-plugins")
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_VKEY_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

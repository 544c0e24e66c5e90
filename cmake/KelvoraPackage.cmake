# The Debian package: `cpack -G DEB` in a build folder (or the `package` target) makes
# kelvora-fido2_<version>_<arch>.deb of what `cmake --install` puts in place. Linux only;
# a Windows build configures without it.
if(WIN32)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora-fido2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvora Fido2 developers")
set(CPACK_PACKAGE_CONTACT "Kelvora Fido2 developers <fido2@kelvora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "administration tool for fingerprint FIDO2 security keys")
# Debian wants lines under 80 characters; "." stands for an empty line.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for the maker's USB security keys with a fingerprint sensor:
it shows whether a supported key is plugged in, sets or changes its PIN,
enrols, lists, renames and deletes fingerprints, tests a finger and resets
the key. Nothing is stored on the computer.
.
The package also contains the command line kelvora-fido2 for scripts and
support, the virtual key kelvora-vkey for trying the tools without hardware,
and a udev rule that lets the logged-in user open the maker's keys.")
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
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

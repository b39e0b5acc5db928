# `cpack` (or `make package` / `ninja package` in a build folder) makes a Debian package of
# what `cmake --install` installs. Library dependencies come from dpkg-shlibdeps; the
# soundfont, which the program only opens as a file, is named here.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tolvane")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Tolvane developers")
set(CPACK_PACKAGE_CONTACT "The Tolvane developers <tolvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "metronome for practising musicians")
set(CPACK_PACKAGE_DESCRIPTION
    "Tolvane plays a click track at 10 to 400 bpm with accents, custom groupings, subdivisions\n"
    "and polyrhythms, a speed trainer, tap tempo and custom drum rhythms, through a built-in\n"
    "General MIDI synthesizer or the user's wave files.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")

include(CPack)

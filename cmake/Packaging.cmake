# The Debian package: `cpack -G DEB` in a release build folder. scripts/package-test.sh builds
# it and holds it to lintian, appstreamcli and desktop-file-validate.
set(CPACK_PACKAGE_NAME tarno-recorder)
set(CPACK_PACKAGE_VENDOR "Tarno MP3 Recorder developers")
set(CPACK_PACKAGE_CONTACT "Tarno MP3 Recorder developers <${TARNO_SUPPORT_EMAIL}>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TARNO_HOMEPAGE_URL})

# The synopsis and the long description: lines of at most 80 columns (lintian counts them).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound recorder for MP3, WAV, WMA, OGG and RAW files")
set(CPACK_PACKAGE_DESCRIPTION
"Tarno MP3 Recorder records any PulseAudio or PipeWire input to MP3, WAV, WMA,
OGG Vorbis or RAW files, each with its own options. Recordings can be paused
and resumed, and can start and stop by themselves every day or on one date.
The window shows the time, the file size and level meters while recording.
Finished recordings are tagged and listed, and play back from the list with
a seek bar. Function keys record, play, pause and stop.")

# Library dependencies come from the linked libraries; the help and the web page open through
# xdg-open, and a sound server is what gives the program something to record.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm")

# A stripped program; control files and folders with the modes Debian expects.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

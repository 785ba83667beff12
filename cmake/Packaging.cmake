# A Debian package: `cpack -G DEB` in the build folder (scripts/package.sh).
set(CPACK_PACKAGE_NAME tunvask)
set(CPACK_PACKAGE_VENDOR "Tunvask developers")
set(CPACK_PACKAGE_CONTACT "Tunvask developers <tunvask@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch MP3 shrinker with a Simplified Chinese interface")
# The summary is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tunvask re-encodes whole folders of MP3 files to a lower bit rate (128 down
to 16 kbps), in stereo or mono, so that a large music collection fits a small
player or a phone. It shows each file's size and ID3v1 title, album and
artist, keeps ID3v1 and ID3v2 tags, and never overwrites a source file.

The package also holds tvenc, the console encoder the program uses, which
re-encodes MPEG audio or WAV to a gapless constant-bit-rate MP3.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tvenc loads these when a file needs them, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsndfile1, libsoxr0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xchm | kchmviewer, qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)

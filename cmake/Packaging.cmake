# `cpack -G DEB` in a build folder makes orvantide_<version>_<arch>.deb of what `cmake --install`
# installs (scripts/package.sh does it in a Release build of the program alone).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvantide)
set(CPACK_PACKAGE_VENDOR Quarnelbrisk)
set(CPACK_PACKAGE_CONTACT "Quarnelbrisk <orvantide@quarnelbrisk.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Historial del portapapeles / clipboard history manager")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Guarda lo que copias (textos con su formato, imágenes, colores, listas de
archivos) y lo devuelve con Ctrl+Alt+V: una paleta para buscar, fijar,
previsualizar y pegar. En X11 y Wayland.

Keeps what you copy (text with its formatting, images, colours, lists of files)
and gives it back with Ctrl+Alt+V: a palette to search, pin, preview and paste.
On X11 and Wayland. Its interface is in Spanish.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binary links; Qt's plugins below are loaded at run time, out of its sight.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SVG icons (libqt6svg6: the icon engine and image plug-in) and images copied as TIFF (the
# image formats plug-ins). The xcb platform plug-in comes with libqt6gui6, a linked library.
# gapplication (libglib2.0-bin) runs the desktop entry's "Preferencias" for launchers that do not
# activate through D-Bus.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins, libglib2.0-bin")
# Qt's own dialog buttons in Spanish (otherwise English); the Wayland platform plug-in, which the
# program does not choose itself but a session exporting QT_QPA_PLATFORM=wayland makes it load.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")

include(CPack)

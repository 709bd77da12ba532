# What `cmake --install` puts on a Linux desktop beside the programs and the
# engine library (installed by their own folders): the menu entry, the icon
# and a manual page per program; and the Debian package `make package` builds
# from the same tree with CPack.

set(PAYXREF_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${PAYXREF_PACKAGING_DIR}/payxref.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PAYXREF_PACKAGING_DIR}/payxref.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages go in compressed, as Debian installs them; -n keeps the file
# the same from build to build.
set(payxref_man_pages)
foreach(page payxref.1 payxref-db.1)
  set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${PAYXREF_PACKAGING_DIR}/${page} > ${compressed}
    DEPENDS ${PAYXREF_PACKAGING_DIR}/${page}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND payxref_man_pages ${compressed})
endforeach()
add_custom_target(payxref_man_pages ALL DEPENDS ${payxref_man_pages})
install(FILES ${payxref_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: the installed tree under /usr, stripped, its library
# dependencies found by dpkg-shlibdeps (named by hand where it is missing).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME payxref)
set(CPACK_PACKAGE_VENDOR "payxref")
set(CPACK_PACKAGE_CONTACT "payxref maintainers <payxref@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Payment Cross Reference Tool: payments not completely applied")
set(CPACK_PACKAGE_DESCRIPTION
  "Lists the payments and adjustments of a medical practice whose applied total differs from their amount, in a window that prints the list or as a command-line search with filters, CSV, JSON and PDF output.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
find_program(PAYXREF_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PAYXREF_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6, libqt6printsupport6, libqt6gui6, libqt6core6, libsqlite3-0, libstdc++6, libgcc-s1, libc6")
endif()
# The window and the PDF report look as designed with Tahoma.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")
include(CPack)

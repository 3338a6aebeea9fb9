# What `cmake --install` puts where (the Debian layout), and the Debian package CPack builds from
# it (scripts/package.sh). Included at the end of the top CMakeLists.txt, once every target exists.
include(GNUInstallDirs)

set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vestibo)

# Debian keeps ODBC drivers in lib/<multiarch>/odbc whatever the prefix, beside those of
# odbc-postgresql and libsqliteodbc.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(_odbcdir lib/${CMAKE_LIBRARY_ARCHITECTURE}/odbc)
else()
  set(_odbcdir ${CMAKE_INSTALL_LIBDIR}/odbc)
endif()
set(VESTIBO_INSTALL_ODBCDIR ${_odbcdir} CACHE STRING "Where the dBase ODBC driver goes, relative to the prefix")

install(TARGETS vestibo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Not executable, like Debian's other shared objects.
install(TARGETS vestibo_dbf LIBRARY DESTINATION ${VESTIBO_INSTALL_ODBCDIR} NAMELINK_SKIP
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Manual pages and the changelog carry the version.
configure_file(${_packaging}/vestibo.1 ${CMAKE_BINARY_DIR}/packaging/en/vestibo.1 @ONLY)
configure_file(${_packaging}/vestibo.ru.1 ${CMAKE_BINARY_DIR}/packaging/ru/vestibo.1 @ONLY)
configure_file(${_packaging}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/en/vestibo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/ru/vestibo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)

if(TARGET vestibo_gui)
  install(FILES ${_packaging}/vestibo.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${_packaging}/vestibo.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
endif()

install(FILES README.md ${_packaging}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog DESTINATION ${_docdir})
install(DIRECTORY examples/ DESTINATION ${_docdir}/examples)
install(FILES ${_packaging}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME vestibo)
install(FILES docs/window.png docs/window-done.png DESTINATION ${_docdir}/docs OPTIONAL)

# A Debian package holds its manual pages and changelog compressed (gzip -9n: no name, no time,
# so that the same input gives the same package). Only CPack's installation sets the switch.
install(CODE [[
  if(VESTIBO_DEBIAN_DOCS)
    set(_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    file(GLOB_RECURSE _pages "${_root}/share/man/*.1")
    foreach(_file IN LISTS _pages ITEMS "${_root}/share/doc/vestibo/changelog")
      execute_process(COMMAND gzip -9nf "${_file}" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()
]])

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vestibo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vestibo maintainers <maintainers@vestibo.invalid>" CACHE STRING
    "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exchange data between the office and Palm OS handhelds")
set(CPACK_PACKAGE_DESCRIPTION
    "Vestibo packs an office's reference data (products, categories, customers,\n"
    "notes: semicolon-separated Windows-1251 text files) into the Palm databases\n"
    "of a sales-agent application, and takes the orders and cash receipts the\n"
    "agents entered back out as text files or dBase tables.\n"
    "\n"
    "It runs as a small window or unattended from the command line. The package\n"
    "includes a dBase ODBC driver, registered with unixODBC.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked: the driver manager (dlopen), odbcinst for the maintainer
# scripts, unixodbc for the driver registry's tools the manual page points to, and Qt's SVG
# image plugin, which draws the window's icon.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libodbc2, unixodbc, odbcinst, libqt6svg6")
# Qt offers the desktop's own folder picker only through a platform theme; its dialogs speak
# Russian with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-gtk-platformtheme, qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_CUSTOM_INSTALL_VARIABLES VESTIBO_DEBIAN_DOCS=ON)

find_program(VESTIBO_DPKG dpkg)
if(VESTIBO_DPKG)
  execute_process(COMMAND ${VESTIBO_DPKG} --print-architecture OUTPUT_VARIABLE _arch OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_arch})
  set(CPACK_DEBIAN_FILE_NAME vestibo_${PROJECT_VERSION}_${_arch}.deb)
endif()

# The maintainer scripts register the driver library under its three names; each script gets the
# shared registration code and the library's installed path pasted in.
set(VESTIBO_DRIVER_LIBRARY "${CPACK_PACKAGING_INSTALL_PREFIX}/${VESTIBO_INSTALL_ODBCDIR}/$<TARGET_FILE_NAME:vestibo_dbf>")
file(READ ${_packaging}/odbc-registration.sh VESTIBO_ODBC_REGISTRATION)
string(CONFIGURE "${VESTIBO_ODBC_REGISTRATION}" VESTIBO_ODBC_REGISTRATION @ONLY)
foreach(script postinst prerm)
  configure_file(${_packaging}/${script}.in ${CMAKE_BINARY_DIR}/packaging/${script}.in @ONLY)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/debian/${script} INPUT ${CMAKE_BINARY_DIR}/packaging/${script}.in)
endforeach()
configure_file(${_packaging}/postrm ${CMAKE_BINARY_DIR}/packaging/debian/postrm COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/debian/postinst
    ${CMAKE_BINARY_DIR}/packaging/debian/prerm ${CMAKE_BINARY_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

if(VESTIBO_BUILD_TESTS)
  add_subdirectory(tests/package)
endif()

# Installation and the Debian package of a terminal (cpack -G DEB, scripts/package.sh).
#
# Programs, the module beside the host and the libraries in /usr/lib/res00011 (found through an
# $ORIGIN run path); in /usr/bin a command for each program that names the station's folder,
# /var/lib/res00011 unless RES00011_STATION says otherwise, and res00011-prepare-station, which
# prepares a demo station there; the schema scripts and the demo files in /usr/share/res00011.
# The build tree gets its own res00011-prepare-station, for scripts/run.sh; only the installed one
# takes /var/lib/res00011 when it is given no folder.

set(RES_INSTALL_LIBDIR lib/res00011)
set(RES_INSTALL_DATADIR share/res00011)
set(RES_STATION_DEFAULT /var/lib/res00011)

set(RES_INSTALLED_PROGRAMS res00011-host res00011-data cdstool res00011-sampledata)
if(TARGET res00011-report)
  list(APPEND RES_INSTALLED_PROGRAMS res00011-report)
endif()
if(TARGET res00011-reservations)
  list(APPEND RES_INSTALLED_PROGRAMS res00011-reservations)
endif()
if(TARGET res00011-journal)
  list(APPEND RES_INSTALLED_PROGRAMS res00011-journal)
endif()
set(RES_INSTALLED_LIBRARIES Pkg_res00011 Pkg_Gpe00002 Gpe00002_operations qor_core qor_widgets res_platform_db
  res_platform_process res_platform_ui)

foreach(target ${RES_INSTALLED_PROGRAMS} ${RES_INSTALLED_LIBRARIES})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS ${RES_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${RES_INSTALL_LIBDIR})
install(TARGETS ${RES_INSTALLED_LIBRARIES} LIBRARY DESTINATION ${RES_INSTALL_LIBDIR})

# The commands in /usr/bin.
foreach(RES_COMMAND ${RES_INSTALLED_PROGRAMS})
  set(RES_TOOLS_DIR /usr/${RES_INSTALL_LIBDIR})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/command.in ${CMAKE_BINARY_DIR}/packaging/bin/${RES_COMMAND} @ONLY)
endforeach()
set(RES_SAMPLEDATA /usr/${RES_INSTALL_LIBDIR}/res00011-sampledata)
set(RES_CDSTOOL /usr/${RES_INSTALL_LIBDIR}/cdstool)
set(RES_DEMO_DIR /usr/${RES_INSTALL_DATADIR}/demo)
set(RES_PREPARE_INSTALLED yes)
configure_file(${CMAKE_CURRENT_LIST_DIR}/res00011-prepare-station.in
  ${CMAKE_BINARY_DIR}/packaging/bin/res00011-prepare-station @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/bin/res00011-prepare-station DESTINATION bin)
foreach(command ${RES_INSTALLED_PROGRAMS})
  install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/bin/${command} DESTINATION bin)
endforeach()

# The build tree's own.
set(RES_SAMPLEDATA $<TARGET_FILE:res00011-sampledata>)
set(RES_CDSTOOL $<TARGET_FILE:cdstool>)
set(RES_DEMO_DIR ${CMAKE_SOURCE_DIR}/host/demo)
set(RES_PREPARE_INSTALLED no)
configure_file(${CMAKE_CURRENT_LIST_DIR}/res00011-prepare-station.in ${CMAKE_BINARY_DIR}/prepare-station.in @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/res00011-prepare-station INPUT ${CMAKE_BINARY_DIR}/prepare-station.in
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Read-only data.
foreach(engine sqlite postgresql)
  install(FILES ${CMAKE_SOURCE_DIR}/db/${engine}/schema.sql ${CMAKE_SOURCE_DIR}/db/${engine}/operations.sql
    ${CMAKE_SOURCE_DIR}/db/${engine}/history.sql DESTINATION ${RES_INSTALL_DATADIR}/db/${engine})
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/db/sqlite/operations-upgrade-2.sql ${CMAKE_SOURCE_DIR}/db/sqlite/operations-upgrade-3.sql DESTINATION ${RES_INSTALL_DATADIR}/db/sqlite)
file(GLOB RES_DEMO_FILES ${CMAKE_SOURCE_DIR}/host/demo/*.json ${CMAKE_SOURCE_DIR}/host/demo/*.script)
install(FILES ${RES_DEMO_FILES} DESTINATION ${RES_INSTALL_DATADIR}/demo)

# The package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME res00011)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Equipe do menu de operações de mesa <res00011@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Table operations menu of a restaurant point of sale")
set(CPACK_PACKAGE_DESCRIPTION "The operations menu module of a restaurant point of sale (group, separate, transfer and
 reserve tables, change the waiter of items, reprint orders, waiter reports), with a host program, the data
 tools and a demo station (res00011-prepare-station).")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's own libraries lie beside its programs, where dpkg-shlibdeps must look for them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-Linux/${RES_INSTALL_LIBDIR})
# Beside the libraries' own dependencies, which are computed: the screens' face, and Qt's SVG
# plugins, which draw the menu's glyphs and which no binary links (Qt loads them when it reads an
# SVG icon).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, libqt6svg6")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

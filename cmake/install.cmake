# `cmake --install` lays out the run folder under <prefix>/lib/velorin (everything the
# build wrote into it, less what a run of the game writes there: logs, the settings
# file, profiles, scores and interrupted saves), a launcher per program in <prefix>/bin,
# a desktop entry and the icon. The launchers give each user a run folder of their own
# (see packaging/launcher.sh.in), since the game writes beside itself.
include(GNUInstallDirs)
# The launchers find the run folder relative to themselves, so any --prefix works.
file(RELATIVE_PATH VELORIN_LIB_FROM_BIN /p/${CMAKE_INSTALL_BINDIR} /p/${CMAKE_INSTALL_LIBDIR}/velorin)

install(DIRECTORY ${VELORIN_RUN_DIR}/ DESTINATION ${CMAKE_INSTALL_LIBDIR}/velorin USE_SOURCE_PERMISSIONS
  PATTERN game_log.txt EXCLUDE
  PATTERN server_log.txt EXCLUDE
  PATTERN config.ini EXCLUDE
  PATTERN vl.dat EXCLUDE
  PATTERN "*.bad" EXCLUDE
  PATTERN "*.tmp*" EXCLUDE
  REGEX "/profiles/.+" EXCLUDE)

foreach(program velorin velorin_server midi_scan pad_probe)
  if(TARGET ${program})
    set(PROGRAM ${program})
    configure_file(${CMAKE_SOURCE_DIR}/packaging/launcher.sh.in ${CMAKE_BINARY_DIR}/launchers/${program} @ONLY)
    install(PROGRAMS ${CMAKE_BINARY_DIR}/launchers/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/velorin.desktop.in DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
  RENAME velorin.desktop)
# The icon is drawn by the content generators.
install(FILES ${VELORIN_RUN_DIR}/data/icons/velorin.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
  OPTIONAL)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velorin)

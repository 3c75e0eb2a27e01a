# Installation and the Debian package.
#
#   cmake --install BUILD [--prefix P]   (DESTDIR=... for a staged install)
#   cpack --config BUILD/CPackConfig.cmake   (a .deb for /usr)
#
# Layout under the prefix:
#   bin/                                  the programs
#   share/applications/                   the desktop entry
#   share/mime/packages/                  the record file type (*.qbd)
#   share/icons/hicolor/NxN/apps/         the application icon
#   share/icons/hicolor/NxN/mimetypes/    the record file's icon
#   share/man/man1/                       the command-line programs' manuals
#   share/metainfo/                       the software centres' description
#   share/doc/quillbank-manager/          copyright and changelog.gz
#   share/doc/quillbank-manager/manual/   the user manual (Help Topics opens
#                                         bin/../share/doc/quillbank-manager/manual)
# The packaging tools of the desktop (shared-mime-info, desktop-file-utils,
# the icon theme) update their caches by themselves when a package puts files
# into these folders.

include(GNUInstallDirs)

set(QB_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# The programs this build has (the Windows build has no carddriver).
set(QB_PROGRAMS)
foreach(program readcard initcard qbd cardsim carddriver)
  if(TARGET ${program})
    list(APPEND QB_PROGRAMS ${program})
  endif()
endforeach()
install(TARGETS ${QB_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  # Windows: the programs, the application with what it loads, the user
  # manual and the copyright file, in the same layout (the setup program
  # installs this tree); the desktop's files and the Debian package are
  # Linux's.
  if(QB_BUILD_GUI)
    install(TARGETS quillbank-manager RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(DIRECTORY ${QB_MANUAL_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillbank-manager/manual)
    include(cmake/WindowsRuntime.cmake)
  endif()
  install(FILES ${QB_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillbank-manager)
  return()
endif()

# Manual pages, compressed as Debian keeps them.
find_program(QB_GZIP gzip REQUIRED)
set(QB_MAN_DIR ${CMAKE_BINARY_DIR}/share/man/man1)
set(QB_MAN_PAGES)
set(QB_MANUALS readcard initcard qbd cardsim carddriver)
if(QB_BUILD_GUI)
  list(APPEND QB_MANUALS quillbank-manager)
endif()
foreach(program ${QB_MANUALS})
  set(page ${CMAKE_SOURCE_DIR}/docs/man/${program}.1)
  add_custom_command(OUTPUT ${QB_MAN_DIR}/${program}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QB_MAN_DIR}
    COMMAND sh -c "\"$0\" -9 -n -c \"$1\" > \"$2\"" ${QB_GZIP} ${page} ${QB_MAN_DIR}/${program}.1.gz
    DEPENDS ${page}
    VERBATIM)
  list(APPEND QB_MAN_PAGES ${QB_MAN_DIR}/${program}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${QB_MAN_PAGES})
install(FILES ${QB_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's copyright file (machine-readable) and its changelog in
# Debian's format, compressed as Debian keeps it.
set(QB_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillbank-manager)
set(QB_CHANGELOG ${CMAKE_BINARY_DIR}/share/doc/quillbank-manager/changelog.gz)
add_custom_command(OUTPUT ${QB_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/doc/quillbank-manager
  COMMAND sh -c "\"$0\" -9 -n -c \"$1\" > \"$2\"" ${QB_GZIP} ${QB_PACKAGING_DIR}/changelog ${QB_CHANGELOG}
  DEPENDS ${QB_PACKAGING_DIR}/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${QB_CHANGELOG})
install(FILES ${QB_PACKAGING_DIR}/copyright ${QB_CHANGELOG} DESTINATION ${QB_PACKAGE_DOC_DIR})

if(QB_BUILD_GUI)
  install(TARGETS quillbank-manager RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QB_PACKAGING_DIR}/quillbank-manager.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QB_PACKAGING_DIR}/quillbank-manager.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  # What software centres show of the application.
  install(FILES ${QB_PACKAGING_DIR}/example.kdv.quillbank_manager.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The application icon and the record file's icon (named by the MIME type)
  # in the sizes desktops ask for, drawn by the application's own picture
  # code. The helper needs no display.
  set(QB_ICON_SIZES 16 22 24 32 48 64 128 256)
  set(QB_ICON_DIR ${CMAKE_BINARY_DIR}/share/icons/hicolor)
  add_executable(render_icons ${QB_PACKAGING_DIR}/render_icons.cpp)
  target_include_directories(render_icons PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(render_icons PRIVATE Qt6::Gui qb_build_flags)
  set(QB_ICON_FILES)
  foreach(size ${QB_ICON_SIZES})
    list(APPEND QB_ICON_FILES ${QB_ICON_DIR}/${size}x${size}/apps/quillbank-manager.png
         ${QB_ICON_DIR}/${size}x${size}/mimetypes/application-x-quillbank-document.png)
  endforeach()
  add_custom_command(OUTPUT ${QB_ICON_FILES}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:render_icons> ${QB_ICON_DIR} ${QB_ICON_SIZES}
    DEPENDS render_icons ${CMAKE_SOURCE_DIR}/src/app/app_pictures.cpp
    VERBATIM)
  add_custom_target(app_icons ALL DEPENDS ${QB_ICON_FILES})
  install(DIRECTORY ${CMAKE_BINARY_DIR}/share/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

  # The user manual as the build lays it out, with the screenshots when they
  # were made (target manual_screenshots).
  install(DIRECTORY ${QB_MANUAL_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillbank-manager/manual)

  # Screenshots for the manual, taken from the real application on a demo
  # recording under a virtual X server. Not part of the ordinary build.
  add_executable(manual_shots EXCLUDE_FROM_ALL ${QB_PACKAGING_DIR}/manual_shots.cpp)
  set_target_properties(manual_shots PROPERTIES AUTOMOC ON)
  target_link_libraries(manual_shots PRIVATE quillbank_app)
  add_custom_target(manual_screenshots
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/manual_screenshots.sh
            ${CMAKE_BINARY_DIR}/bin $<TARGET_FILE:manual_shots> ${QB_MANUAL_DIR}/images
    DEPENDS manual_shots user_manual readcard initcard cardsim carddriver
    USES_TERMINAL
    VERBATIM)
endif()

# The Debian package. Its library dependencies come from the programs
# themselves (dpkg-shlibdeps); the rest are what the programs load or use at
# run time without linking it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbank-manager)
set(CPACK_PACKAGE_VENDOR "KDV GmbH")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillbank Manager maintainers <maintainers@users.noreply.c-seed-b504f6c4.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Card manager for the Quillbank printer data recorder")
# The summary is the Description's first line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Prepares PC Cards for the Quillbank recording device, reads them back into\n\
CRC-protected record files (.qbd) and shows each file as the printout it was,\n\
with printing, PDF and text export. Command-line programs read and prepare\n\
cards (readcard, initcard), inspect and audit record files (qbd), simulate\n\
the recording device (cardsim) and serve card images as card drives\n\
(carddriver).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The printouts are laid out in Liberation Mono's metrics.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)

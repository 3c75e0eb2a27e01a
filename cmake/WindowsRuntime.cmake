# What the Windows application loads besides its own code: Qt's DLLs and
# plugins, and the MinGW run-time DLLs that Qt's DLLs link (the programs
# themselves link the run-time statically). Copied beside the programs in
# the build folder, so that the tests run them under Wine as they will run
# when installed, and installed with them.
set(QB_QT_RUNTIME
  bin/Qt6Core.dll
  bin/Qt6Gui.dll
  bin/Qt6Widgets.dll
  bin/Qt6PrintSupport.dll
  bin/Qt6Network.dll
  plugins/platforms/qwindows.dll
  plugins/platforms/qoffscreen.dll
  plugins/imageformats/qgif.dll
  plugins/imageformats/qico.dll
  plugins/imageformats/qjpeg.dll
  plugins/styles/qwindowsvistastyle.dll)
# Only the Qt Test programs load Qt's test library: built, not installed.
set(QB_QT_TEST_RUNTIME bin/Qt6Test.dll)
set(QB_MINGW_RUNTIME libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)

set(QB_RUNTIME_COPIES)
# copy FROM into the programs' folder as NAME (a plugin keeps its subfolder)
function(qb_runtime_file from name)
  set(to ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name})
  add_custom_command(OUTPUT ${to}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${to}
    DEPENDS ${from}
    VERBATIM)
  set(QB_RUNTIME_COPIES ${QB_RUNTIME_COPIES} ${to} PARENT_SCOPE)
endfunction()

set(QB_RUNTIME_INSTALL)
foreach(file ${QB_QT_RUNTIME} ${QB_QT_TEST_RUNTIME})
  string(REGEX REPLACE "^(bin|plugins)/" "" name ${file})
  qb_runtime_file(${QB_QT_WINDOWS}/${file} ${name})
  if(NOT file IN_LIST QB_QT_TEST_RUNTIME)
    get_filename_component(folder ${name} DIRECTORY)
    install(FILES ${QB_QT_WINDOWS}/${file} DESTINATION ${CMAKE_INSTALL_BINDIR}/${folder})
  endif()
endforeach()
foreach(dll ${QB_MINGW_RUNTIME})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}")
    # libwinpthread's DLL sits in the MinGW root's lib folder.
    find_file(path_${dll} ${dll} PATHS ${CMAKE_FIND_ROOT_PATH} PATH_SUFFIXES lib bin
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    set(path ${path_${dll}})
  endif()
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "The MinGW run-time DLL ${dll} was not found")
  endif()
  qb_runtime_file(${path} ${dll})
  install(FILES ${path} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
add_custom_target(windows_runtime ALL DEPENDS ${QB_RUNTIME_COPIES})

# The program's icons, drawn by the application's own picture code (the
# icon program runs under Wine, beside Qt's DLLs), and its resources.
add_executable(render_icons ${QB_PACKAGING_DIR}/render_icons.cpp)
target_include_directories(render_icons PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(render_icons PRIVATE Qt6::Gui qb_build_flags)
set(QB_APP_ICON ${CMAKE_BINARY_DIR}/icons/quillbank-manager.ico)
set(QB_DOCUMENT_ICON ${CMAKE_BINARY_DIR}/icons/quillbank-document.ico)
add_custom_command(OUTPUT ${QB_APP_ICON} ${QB_DOCUMENT_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
  COMMAND render_icons -platform offscreen --ico ${QB_APP_ICON} ${QB_DOCUMENT_ICON}
  DEPENDS render_icons windows_runtime ${CMAKE_SOURCE_DIR}/src/app/app_pictures.cpp
  VERBATIM)
add_custom_target(windows_icons DEPENDS ${QB_APP_ICON} ${QB_DOCUMENT_ICON})
add_dependencies(quillbank-manager windows_icons)
configure_file(${QB_PACKAGING_DIR}/windows/quillbank-manager.rc.in
               ${CMAKE_BINARY_DIR}/quillbank-manager.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/quillbank-manager.rc TARGET_DIRECTORY quillbank-manager PROPERTIES
  OBJECT_DEPENDS "${QB_APP_ICON};${QB_DOCUMENT_ICON}")
target_sources(quillbank-manager PRIVATE ${CMAKE_BINARY_DIR}/quillbank-manager.rc)
# A desktop program: no console window of its own.
set_target_properties(quillbank-manager PROPERTIES WIN32_EXECUTABLE ON)

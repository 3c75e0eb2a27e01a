# Qt for Windows in a cross build: the folder scripts/qt-windows.sh installs
# it into ($QB_QT_WINDOWS, else build/qt-windows), with the host Qt of the
# same version supplying moc, rcc and uic.
set(QB_QT_WINDOWS "$ENV{QB_QT_WINDOWS}" CACHE PATH "Qt for Windows (scripts/qt-windows.sh)")
if(NOT QB_QT_WINDOWS)
  set(QB_QT_WINDOWS "${CMAKE_SOURCE_DIR}/build/qt-windows" CACHE PATH "" FORCE)
endif()
if(NOT EXISTS "${QB_QT_WINDOWS}/lib/cmake/Qt6/Qt6Config.cmake")
  # The core, the programs and their tests still build.
  message(WARNING "No Qt for Windows in ${QB_QT_WINDOWS}: the application is not built "
                  "(scripts/qt-windows.sh builds or unpacks that Qt).")
  set(QB_BUILD_GUI OFF)
  return()
endif()
# The toolchain searches only below its own root for packages.
list(APPEND CMAKE_FIND_ROOT_PATH "${QB_QT_WINDOWS}")
list(APPEND CMAKE_PREFIX_PATH "${QB_QT_WINDOWS}")
if(NOT QT_HOST_PATH)
  set(QT_HOST_PATH "/usr" CACHE PATH "The host Qt (moc, rcc, uic)")
endif()
if(NOT QT_HOST_PATH_CMAKE_DIR)
  # Debian keeps the host Qt's CMake files in the multiarch folder.
  file(GLOB host_info "${QT_HOST_PATH}/lib/cmake/Qt6HostInfo" "${QT_HOST_PATH}/lib/*/cmake/Qt6HostInfo")
  list(GET host_info 0 host_info)
  get_filename_component(host_cmake_dir "${host_info}" DIRECTORY)
  set(QT_HOST_PATH_CMAKE_DIR "${host_cmake_dir}" CACHE PATH "The host Qt's CMake files")
endif()

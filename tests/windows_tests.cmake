# The Windows cross build: the core's unit tests, against GoogleTest built
# from Debian's source package with the cross compiler. They run through the
# cross-compiling emulator (Wine) as one test, since starting a Windows
# program there takes a while.
set(QB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(${CMAKE_CURRENT_LIST_DIR}/unit_tests.cmake)
# Tests that need what the Windows build does not have yet: the card driver's
# channel server and the simulator's serial line (POSIX sockets,
# pseudo-terminals, signals), descriptor-level image files in the core, POSIX
# time zone strings and advisory locks.
set(QB_POSIX_ONLY_TESTS
  card_driver_test.cpp
  card_fault_test.cpp
  document_text_export_test.cpp
  format_option_text_test.cpp
  init_card_test.cpp
  job_options_test.cpp
  outside_text_test.cpp
  platform_safe_output_file_test.cpp
  read_card_test.cpp
  sector_device_test.cpp
  serial_protocol_test.cpp)
foreach(name ${QB_POSIX_ONLY_TESTS})
  list(REMOVE_ITEM QB_UNIT_TESTS ${CMAKE_CURRENT_SOURCE_DIR}/unit/${name})
endforeach()
add_executable(core_tests ${QB_UNIT_TESTS})
target_link_libraries(core_tests PRIVATE quillbank_core gtest gmock gtest_main)
target_include_directories(core_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(core_tests PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overflow)
if(TARGET cardsim_lib)
  target_link_libraries(core_tests PRIVATE cardsim_lib)
endif()
add_test(NAME core_tests COMMAND core_tests --gtest_brief=1)
set_tests_properties(core_tests PROPERTIES TIMEOUT 900)

# The application's Qt Test programs, but for those that need the card
# driver's channel server or the simulator's serial line (POSIX programs),
# start the programs through the POSIX test runner, or check the Linux
# desktop's file type installation (shared-mime-info, symbolic links).
if(QB_BUILD_GUI)
  set(QB_POSIX_ONLY_GUI_TESTS
    card_cancel_test.cpp
    card_commands_test.cpp
    card_dialogs_test.cpp
    card_serial_test.cpp
    export_command_test.cpp
    file_type_install_test.cpp)
  add_subdirectory(gui)
endif()

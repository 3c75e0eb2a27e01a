# The core's unit tests (GoogleTest), one program on every system; the
# Windows build leaves out the POSIX-only ones (windows_tests.cmake).
set(QB_UNIT_TESTS
  base_error_report_test.cpp
  base_job_frame_test.cpp
  base_json_value_test.cpp
  base_messages_test.cpp
  base_progress_test.cpp
  card_driver_test.cpp
  card_fault_test.cpp
  cardsim_input_test.cpp
  cardsim_serial_drive_test.cpp
  cardsim_writer_test.cpp
  document_ansi_charset_test.cpp
  document_line_store_test.cpp
  document_loading_test.cpp
  document_printer_codes_test.cpp
  document_read_report_test.cpp
  document_record_test.cpp
  document_recording_facts_test.cpp
  document_text_export_test.cpp
  drive_names_test.cpp
  format_comment_sector_test.cpp
  format_master_block_test.cpp
  format_option_text_test.cpp
  format_record_file_test.cpp
  format_sector_test.cpp
  format_setting_codes_test.cpp
  format_sha256_test.cpp
  init_card_test.cpp
  job_options_test.cpp
  outside_text_test.cpp
  platform_safe_output_file_test.cpp
  read_card_test.cpp
  sector_device_test.cpp
  serial_protocol_test.cpp
  software_signature_test.cpp)
list(TRANSFORM QB_UNIT_TESTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/unit/)

# Report setup dialog, offscreen.
dalv_add_test(test_report_setup SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_report_setup.cpp
  LIBS dalv_reports_setup_ui dalv_startup dalv_options dalv_core)

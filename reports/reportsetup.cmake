# Report setup dialog: report options, layout and style sheet, and the diagram's appearance.
add_library(dalv_reports_setup_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frmReportSetup.cpp ${CMAKE_CURRENT_LIST_DIR}/frmReportSetup.h)
dalv_library_headers(dalv_reports_setup_ui)
target_link_libraries(dalv_reports_setup_ui PUBLIC dalv_options dalv_core_ui dalv_fs dalv_xml dalv_ui Qt6::Widgets)

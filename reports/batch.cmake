# Batch run: imports the databases of a batch document and writes their reports, headless.
add_library(dalv_reports_batch STATIC
  ${CMAKE_CURRENT_LIST_DIR}/bHandleCMD_Batch.cpp ${CMAKE_CURRENT_LIST_DIR}/bHandleCMD_Batch.h)
dalv_library_headers(dalv_reports_batch)
target_link_libraries(dalv_reports_batch PUBLIC dalv_reports_html dalv_reports_word dalv_options
  dalv_core dalv_db dalv_fs dalv_xml dalv_ui_base)

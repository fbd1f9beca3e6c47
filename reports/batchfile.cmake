# Batch-file generator: the batch document and its shell script, and the dialog that writes them.
add_library(dalv_reports_batchfile STATIC
  ${CMAKE_CURRENT_LIST_DIR}/bBatchFile.cpp ${CMAKE_CURRENT_LIST_DIR}/bBatchFile.h)
dalv_library_headers(dalv_reports_batchfile)
target_link_libraries(dalv_reports_batchfile PUBLIC dalv_options dalv_core dalv_fs dalv_xml dalv_ui_base)

add_library(dalv_reports_batchfile_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frmGenerateBatchFile.cpp ${CMAKE_CURRENT_LIST_DIR}/frmGenerateBatchFile.h)
dalv_library_headers(dalv_reports_batchfile_ui)
target_link_libraries(dalv_reports_batchfile_ui PUBLIC dalv_reports_batchfile dalv_ui Qt6::Widgets)

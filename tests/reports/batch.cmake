# Batch run end to end: runs the dalvane program on batch documents and checks the reports.
dalv_add_test(test_batch
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_batch.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_html_support.cpp ${CMAKE_CURRENT_LIST_DIR}/test_html_support.h
  LIBS dalv_startup dalv_reports_batch dalv_reports_batchfile dalv_reports_html dalv_options dalv_db dalv_docx dalv_core Qt6::Core)
add_dependencies(test_batch dalvane)


# Batch run end to end: runs the dalvane program on batch documents and checks the reports.
dalv_add_test(test_batch
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_batch.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_html_support.cpp ${CMAKE_CURRENT_LIST_DIR}/test_html_support.h
  LIBS dalv_reports_batch dalv_reports_html dalv_options dalv_db dalv_core Qt6::Core)
add_dependencies(test_batch dalvane)

# Until the program links the batch run itself: a copy of it that does (DALV_DALVANE points the
# test at it).
if(DALV_BATCH_DEV)
  add_executable(dalvane_batchdev ${CMAKE_SOURCE_DIR}/apps/dalvane/main.cpp
    ${CMAKE_SOURCE_DIR}/reports/bHandleCMD_Batch.cpp)
  target_link_libraries(dalvane_batchdev PRIVATE dalv_reports_html dalv_reports_word dalv_core_ui dalv_core)
  add_dependencies(dalvane_batchdev dalv_data)
endif()

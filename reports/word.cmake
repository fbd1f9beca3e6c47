# Word report generation.
add_library(dalv_reports_word STATIC
  ${CMAKE_CURRENT_LIST_DIR}/cWord.cpp ${CMAKE_CURRENT_LIST_DIR}/cWord.h)
dalv_library_headers(dalv_reports_word)
target_link_libraries(dalv_reports_word PUBLIC dalv_docx dalv_core dalv_ui_base dalv_options)

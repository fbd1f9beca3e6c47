# Multi-page HTML export.
add_library(dalv_reports_html STATIC
  ${CMAKE_CURRENT_LIST_DIR}/bXMLSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/bXMLSupport.h)
dalv_library_headers(dalv_reports_html)
target_link_libraries(dalv_reports_html PUBLIC dalv_core dalv_ui_base dalv_options dalv_fs)

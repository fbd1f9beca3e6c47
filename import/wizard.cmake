# The connection wizard and the properties dialog.
add_library(dalv_import_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frmDatabaseConnection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmDatabaseConnection_Page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmDatabaseConnection_Output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmDatabaseConnection.h
  ${CMAKE_CURRENT_LIST_DIR}/frmProperties.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmProperties.h)
dalv_library_headers(dalv_import_ui)
target_link_libraries(dalv_import_ui PUBLIC dalv_explorer_ui dalv_options dalv_reports_html dalv_reports_word
  dalv_core dalv_ui_base Qt6::Widgets)

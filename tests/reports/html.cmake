# Multi-page HTML export and the report style sheets.
dalv_add_test(test_html
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_html.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_html_support.cpp ${CMAKE_CURRENT_LIST_DIR}/test_html_support.h
  LIBS dalv_reports_html dalv_options)

# Renders a report page in headless Chromium; skipped when Chromium is not installed
# (scripts/setup-chromium.sh installs it).
dalv_add_test(test_html_chromium
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_html_chromium.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_html_support.cpp ${CMAKE_CURRENT_LIST_DIR}/test_html_support.h
  LIBS dalv_reports_html dalv_options Qt6::Gui
  LABELS chromium)

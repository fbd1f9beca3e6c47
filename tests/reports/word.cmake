# Word report generation.
dalv_add_test(test_word
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_word.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_word_support.cpp ${CMAKE_CURRENT_LIST_DIR}/test_word_support.h
  LIBS dalv_reports_word dalv_options dalv_docx)
add_dependencies(test_word dalv_intro)

# Converts reports with headless LibreOffice and reads the PDF text back; skipped when soffice
# is not installed (scripts/setup-libreoffice.sh installs it).
dalv_add_test(test_word_libreoffice
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_word_libreoffice.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_word_support.cpp ${CMAKE_CURRENT_LIST_DIR}/test_word_support.h
  LIBS dalv_reports_word dalv_options dalv_docx Qt6::Core
  LABELS libreoffice)
add_dependencies(test_word_libreoffice dalv_intro)

# Texts of the main setup screen and its dialogs in both languages. Included from this folder's
# CMakeLists.txt; needs quartel_ui with texts/texts_form1.cpp.
quartel_add_test(NAME test_form1_texts LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_form1_texts.cpp ${CMAKE_CURRENT_LIST_DIR}/expected_form1_texts.h
  LIBS quartel_ui)

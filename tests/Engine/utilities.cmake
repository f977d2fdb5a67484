quillara_add_test(NAME test_engine_utilities
  SOURCES test_utlUrl.cpp test_utlHtmlText.cpp test_utlFileSystem.cpp test_utlStatusText.cpp
  LABELS asan)

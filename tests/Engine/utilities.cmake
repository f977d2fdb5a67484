quillara_add_test(NAME test_engine_utilities
  SOURCES Url/test_utlUrl.cpp Analysis/test_utlHtmlText.cpp Url/test_utlFileSystem.cpp Text/test_utlStatusText.cpp
  LABELS asan)

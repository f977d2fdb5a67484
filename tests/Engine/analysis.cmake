# Content analysis: the Japanese code converter, the HTML scanner and analyzer, the URL cache.
quillara_add_test(NAME test_kanji_converter
  SOURCES test_utlKanjiConverter.cpp KanjiTestSupport.cpp
  LABELS asan)

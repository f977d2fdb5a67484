# Content analysis: the Japanese code converter, the HTML scanner and analyzer, the URL cache.
quillara_add_test(NAME test_kanji_converter
  SOURCES Text/test_utlKanjiConverter.cpp KanjiTestSupport.cpp
  LABELS asan)
quillara_add_test(NAME test_html_analyzer
  SOURCES Analysis/test_clsHtmlItem.cpp AnalyzerTestSupport.cpp
  LABELS asan)
quillara_add_test(NAME test_url_cache
  SOURCES Http/test_clsUrlCache.cpp
  LABELS asan)
quillara_add_test(NAME test_analyzer_corpus
  SOURCES Analysis/test_corpus.cpp AnalyzerTestSupport.cpp
  LABELS asan)
quillara_add_test(NAME test_analyzer_unchanged
  SOURCES Analysis/test_analyzer_unchanged.cpp
  LABELS asan)

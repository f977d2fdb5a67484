# Content analysis: links, the Japanese code converter, the HTML scanner and analyzer, the URL cache.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/clsLink.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlCp932Table.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlCodeDetector.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlKanjiConverter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsHtmlScanner.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlDisplayText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsUrlCache.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsHtmlItem.cpp
)

# Content analysis: links, the Japanese code converter, the HTML scanner and analyzer, the URL cache.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/Core/clsLink.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Text/utlCp932Table.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Text/utlCodeDetector.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Text/utlKanjiConverter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Analysis/clsHtmlScanner.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Text/utlDisplayText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsUrlCache.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Analysis/clsHtmlItem.cpp
)

# Content analysis: links, the Japanese code converter, the HTML analyzer and the URL cache.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/clsLink.cpp
)
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/utlCp932Table.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlCodeDetector.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlKanjiConverter.cpp
)

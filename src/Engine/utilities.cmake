# String, path and URL utilities shared by the engine, the analyzer and the cabinets.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/utlUrl.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlHtmlText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlHtmlEntityTable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlFileSystem.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlStatusText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/utlUnicodeText.cpp
)

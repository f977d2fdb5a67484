# String, path and URL utilities shared by the engine, the analyzer and the cabinets.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/Url/utlUrl.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Url/utlTypedAddress.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Analysis/utlHtmlText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Analysis/utlHtmlEntityTable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Url/utlFileSystem.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Text/utlStatusText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Text/utlUnicodeText.cpp
)

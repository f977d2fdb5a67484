# Snapshots: the page rewriter and the downloader.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/clsSnapshotRewriter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsQuillaraSnapshot.cpp
)

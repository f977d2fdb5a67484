# Snapshots: the page rewriter and the downloader.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/Snapshot/clsSnapshotRewriter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Snapshot/clsQuillaraSnapshot.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Snapshot/clsSnapshotFetch.cpp
)

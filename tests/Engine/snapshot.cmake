# Snapshots: the rewriter alone, and the downloader against the loopback server.
quillara_add_test(NAME test_snapshot_rewriter
  SOURCES Snapshot/test_clsSnapshotRewriter.cpp
  LABELS asan)
quillara_add_test(NAME test_snapshot_engine
  SOURCES Snapshot/test_clsQuillaraSnapshot.cpp
  LIBS quillara_test_http
  LABELS tsan)

# The golden page of offline snapshots, served by the loopback server (also for the browser test).
add_library(quillara_test_snapshot STATIC ${CMAKE_CURRENT_SOURCE_DIR}/SnapshotGolden.cpp)
target_link_libraries(quillara_test_snapshot PUBLIC quillara_test_http quillara_test_support)
target_compile_definitions(quillara_test_snapshot PRIVATE QUILLARA_SNAPSHOT_DATA="${CMAKE_CURRENT_SOURCE_DIR}/../data/snapshot")
# The saved golden page walked by an HTML5 parser of its own (gumbo).
pkg_check_modules(SNAPSHOT_GUMBO REQUIRED IMPORTED_TARGET gumbo)
quillara_add_test(NAME test_snapshot_offline
  SOURCES Snapshot/test_snapshotOffline.cpp
  LIBS quillara_test_snapshot PkgConfig::SNAPSHOT_GUMBO
  LABELS asan)

# Snapshots: the rewriter alone, and the downloader against the loopback server.
quillara_add_test(NAME test_snapshot_rewriter
  SOURCES Snapshot/test_clsSnapshotRewriter.cpp
  LABELS asan)
quillara_add_test(NAME test_snapshot_engine
  SOURCES Snapshot/test_clsQuillaraSnapshot.cpp
  LIBS quillara_test_http
  LABELS tsan)

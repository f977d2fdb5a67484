# A snapshot whose images sit on four loopback hosts, with pacing per host, against the
# pacing bound and against wget -p -k on the same page.
quillara_add_bench(NAME bench_snapshot_hosts
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_snapshot_hosts.cpp ${CMAKE_CURRENT_SOURCE_DIR}/MultiHostServer.cpp)

# quillara-cli check with per-host pacing against LinkChecker, over 200 loopback hosts.
if(TARGET quillara-cli)
  quillara_add_bench(NAME bench_check_hosts
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_check_hosts.cpp ${CMAKE_CURRENT_SOURCE_DIR}/MultiHostServer.cpp)
  add_dependencies(bench_check_hosts quillara-cli)
  target_compile_definitions(bench_check_hosts PRIVATE QUILLARA_CLI_PATH="$<TARGET_FILE:quillara-cli>")
endif()

# The program's start-up time and memory while playing (a plain executable; it runs the
# tolvane program it is given).
if(TARGET tolvane)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/StartupBench.cpp)
  target_link_libraries(bench_startup PRIVATE tolvane_warnings)
  add_dependencies(bench_startup tolvane)
endif()

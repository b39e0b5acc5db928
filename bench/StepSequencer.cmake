# The step sequencer grid's heaviest edits on a full grid (Google Benchmark).
find_package(benchmark REQUIRED)
add_executable(bench_step_sequencer ${CMAKE_CURRENT_LIST_DIR}/StepSequencerBench.cpp)
target_link_libraries(bench_step_sequencer PRIVATE tolvane_stepsequencer tolvane_warnings benchmark::benchmark)

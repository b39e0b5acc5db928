# Click placement and mixer cost through the real-time null backend.
add_executable(bench_audio_clicks ${CMAKE_CURRENT_LIST_DIR}/AudioClickBench.cpp)
target_link_libraries(bench_audio_clicks PRIVATE tolvane_core tolvane_warnings)

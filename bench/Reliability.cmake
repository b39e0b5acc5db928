# The reliability checks (make reliability): a helper executable driven by
# bench/Reliability.sh, which also runs the program itself.
add_executable(reliability_tool ${CMAKE_CURRENT_LIST_DIR}/ReliabilityTool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsReliability.cpp ${CMAKE_CURRENT_LIST_DIR}/LanguageAndRhythmReliability.cpp)
target_link_libraries(reliability_tool PRIVATE tolvane_core tolvane_stepsequencer tolvane_warnings)

# The headless player: plays a Tolvane.conf without the window and measures the clicks.
add_executable(engine_player
  ${CMAKE_CURRENT_LIST_DIR}/PlayerAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlayerMain.cpp
)
target_link_libraries(engine_player PRIVATE tolvane_core tolvane_warnings)

# Metronome engine: controller, beat strategies, speed trainer and tap tempo.
target_sources(tolvane_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BeatPatterns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BeatStrategies.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EngineObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Metronome.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MetronomeStrategy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SpeedTrainerTimerStrategy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TapTempo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrainerCurves.cpp
)

# User wave files: the audio-file check, the wave reader, the wave players and the
# audio-file sound engine.
target_sources(tolvane_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AudioSoundEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VerifyAudioFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WaveFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WaveFileInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WavePlayer.cpp
)

# Sound engines: the engine interface, the factory, the instrument list and the result-code
# messages.
target_sources(tolvane_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/InstrumentList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SoundEngineFactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SoundEngineMessages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UnavailableSoundEngine.cpp
)

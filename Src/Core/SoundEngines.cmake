# Sound engines: the engine interface, the MIDI engine, the factory, the instrument list,
# the result-code messages and the multimedia error report.
target_sources(tolvane_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/InstrumentList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MidiSoundEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MultimediaErrorReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SoundEngineFactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SoundEngineMessages.cpp
)

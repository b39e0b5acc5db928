# The headless player: plays a Tolvane.conf without the window and measures the clicks.
add_executable(engine_player
  ${CMAKE_CURRENT_LIST_DIR}/PlayerAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlayerMain.cpp
)
target_link_libraries(engine_player PRIVATE tolvane_core tolvane_warnings)

# A JACK recorder for the timing benchmarks through JACK (only where JACK's headers are).
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(JACK QUIET IMPORTED_TARGET jack)
endif()
if(JACK_FOUND)
  add_executable(jack_recorder ${CMAKE_CURRENT_LIST_DIR}/JackRecorder.cpp)
  target_include_directories(jack_recorder PRIVATE ${PROJECT_SOURCE_DIR}/Src)
  target_link_libraries(jack_recorder PRIVATE PkgConfig::JACK tolvane_warnings)
  # The JACK MIDI input's stamps against notes sent at known frames (bench/JackMidiIn.sh).
  add_executable(bench_jack_midi_in ${CMAKE_CURRENT_LIST_DIR}/JackMidiInBench.cpp)
  target_link_libraries(bench_jack_midi_in PRIVATE tolvane_core PkgConfig::JACK tolvane_warnings)
  # How close to its time the MIDI clock goes out without JACK (the ALSA sender's thread).
  add_executable(bench_alsa_clock ${CMAKE_CURRENT_LIST_DIR}/AlsaClockBench.cpp)
  target_link_libraries(bench_alsa_clock PRIVATE tolvane_core tolvane_warnings)
  # Reads the MIDI clock of Tolvane's JACK client (bench/MidiClockBench.sh).
  add_executable(clock_reader ${CMAKE_CURRENT_LIST_DIR}/MidiClockReader.cpp)
  target_link_libraries(clock_reader PRIVATE PkgConfig::JACK tolvane_warnings)
  # Leads or watches the JACK transport beside Tolvane (bench/JackTransportBench.sh).
  add_executable(transport_peer ${CMAKE_CURRENT_LIST_DIR}/TransportPeer.cpp)
  target_link_libraries(transport_peer PRIVATE PkgConfig::JACK tolvane_warnings)
  # The other Ableton Link peer, recording Tolvane's clicks (bench/LinkBench.sh).
  find_package(AbletonLink CONFIG REQUIRED)
  add_executable(link_peer ${CMAKE_CURRENT_LIST_DIR}/LinkPeer.cpp)
  target_link_libraries(link_peer PRIVATE PkgConfig::JACK Ableton::Link tolvane_warnings)
endif()

# Generated takes scored by `tolvane --score`, against the truth they were made from.
pkg_check_modules(BENCH_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
add_executable(bench_timing_takes ${CMAKE_CURRENT_LIST_DIR}/TimingTakes.cpp)
target_link_libraries(bench_timing_takes PRIVATE tolvane_core tolvane_warnings PkgConfig::BENCH_SNDFILE)

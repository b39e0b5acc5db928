# The program's start-up time and memory while playing (a plain executable; it runs the
# tolvane program it is given).
if(TARGET tolvane)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/StartupBench.cpp)
  target_link_libraries(bench_startup PRIVATE tolvane_warnings)
  # Shares the child-process and private PulseAudio helpers with the tests.
  target_include_directories(bench_startup PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(bench_startup tolvane)
endif()

# The beat lamp's and the step sequencer cursor's paint times against the times their beats
# (steps) are heard.
if(TARGET tolvane_gui)
  add_executable(bench_lamp ${CMAKE_CURRENT_LIST_DIR}/LampBench.cpp)
  target_link_libraries(bench_lamp PRIVATE tolvane_gui tolvane_warnings)
endif()

# The step sequencer grid's painting and its cursor (run with QT_QPA_PLATFORM=offscreen).
add_executable(bench_step_sequencer_paint ${CMAKE_CURRENT_LIST_DIR}/StepSequencerPaintBench.cpp)
target_link_libraries(bench_step_sequencer_paint PRIVATE tolvane_gui tolvane_warnings)

# The instance socket of the real program under hostile clients (make reliability).
if(TARGET tolvane)
  add_executable(bench_socket_flood ${CMAKE_CURRENT_LIST_DIR}/InstanceSocketFlood.cpp)
  target_link_libraries(bench_socket_flood PRIVATE tolvane_warnings)
  target_include_directories(bench_socket_flood PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(bench_socket_flood tolvane)
  add_executable(bench_osc_flood ${CMAKE_CURRENT_LIST_DIR}/OscFlood.cpp)
  pkg_check_modules(LIBLO REQUIRED IMPORTED_TARGET liblo)
  target_link_libraries(bench_osc_flood PRIVATE tolvane_warnings PkgConfig::LIBLO)
  target_include_directories(bench_osc_flood PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(bench_osc_flood tolvane)
endif()

# The real program's sound output while its sound server dies or hangs (make reliability).
if(TARGET tolvane)
  add_executable(bench_sound_server ${CMAKE_CURRENT_LIST_DIR}/SoundServerReliability.cpp)
  target_link_libraries(bench_sound_server PRIVATE tolvane_warnings)
  target_include_directories(bench_sound_server PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(bench_sound_server tolvane)

  # Start without a working sound: no server, a broken kit helper, a JACK server that does not
  # answer (make reliability).
  add_executable(bench_start_reliability ${CMAKE_CURRENT_LIST_DIR}/StartReliability.cpp)
  target_link_libraries(bench_start_reliability PRIVATE tolvane_platform tolvane_warnings)
  target_include_directories(bench_start_reliability PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/Src)
  add_dependencies(bench_start_reliability tolvane)
endif()

# The practice diary: SIGKILLs while sessions are written (make reliability), a session's write
# and the statistics window's opening on 10,000 sessions.
if(TARGET tolvane_gui)
  add_executable(bench_diary ${CMAKE_CURRENT_LIST_DIR}/DiaryBench.cpp)
  target_link_libraries(bench_diary PRIVATE tolvane_gui PkgConfig::SQLITE3 tolvane_warnings)
endif()

# Live timing feedback from JACK MIDI: notes at known offsets from the heard clicks, scored by
# the window's parts (run through bench/LiveMidi.sh, which starts a private JACK server).
if(TARGET tolvane_gui AND TARGET PkgConfig::JACK)
  add_executable(bench_live_midi ${CMAKE_CURRENT_LIST_DIR}/LiveMidiBench.cpp)
  target_link_libraries(bench_live_midi PRIVATE tolvane_gui PkgConfig::JACK tolvane_warnings)
endif()

# Following a MIDI clock with jitter through JACK (run through bench/ClockFollow.sh, which
# starts a private JACK server).
if(TARGET tolvane_gui AND TARGET PkgConfig::JACK)
  add_executable(bench_clock_follow ${CMAKE_CURRENT_LIST_DIR}/ClockFollowBench.cpp)
  target_link_libraries(bench_clock_follow PRIVATE tolvane_gui PkgConfig::JACK tolvane_warnings)
endif()

# Live timing feedback from an audio input: the calibration through a loopback, then a take
# played into the "microphone" in time with the run (run through bench/LiveAudio.sh, which
# starts a private PulseAudio with the two null sinks, or with --jack a private JACK server).
if(TARGET tolvane_gui AND TARGET PkgConfig::JACK)
  add_executable(bench_live_audio ${CMAKE_CURRENT_LIST_DIR}/LiveAudioBench.cpp)
  target_link_libraries(bench_live_audio PRIVATE tolvane_gui PkgConfig::JACK tolvane_warnings)
endif()

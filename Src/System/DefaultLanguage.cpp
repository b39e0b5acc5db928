#include "System/DefaultLanguage.h"

#include <cstddef>
#include <iterator>

namespace System {

namespace {

constexpr const char16_t* MenuTitles[] = {u"&File", u"&Tools", u"&Help"};

// The built-in item texts carry their shortcuts already.
constexpr const char16_t* MenuItems[] = {
    u"&Language\tCtrl+L",
    u"E&xit\tCtrl+Q",
    u"&Options...\tCtrl+O",
    u"&Sound Settings...\tCtrl+S",
    u"&Audio Files...\tCtrl+A",
    u"&Presets...\tCtrl+P",
    u"&Help\tCtrl+F1",
    u"&About\tCtrl+F3",
    u"Practice &Diary...\tCtrl+D",
};

constexpr const char16_t* ToolbarLabels[] = {u"Options", u"Sound Settings", u"Audio Files", u"Presets"};

constexpr const char16_t* Tooltips[] = {
    u"Edit The Metronome Options",
    u"Edit The Metronome Sound Settings",
    u"Edit The Filenames And Paths For Audio Files",
    u"Create Or Load Metronome Presets",
};

constexpr const char16_t* StatusInfos[] = {
    u"Opens the language selection window",
    u"Exits the application",
    u"Edits the metronome options",
    u"Edits the metronome sound settings",
    u"Edits the filenames and paths for audio files",
    u"Creates or loads metronome presets",
    u"Saves changes made to the current preset",
    u"Displays the metronome manual",
    u"Opens the About window",
    u"Displays the current tempo in beats per minute",
    u"Provides a visual indication of the beat",
    u"Starts or stops the metronome",
    u"Sets the tempo for the metronome",
    u"Sets the overall volume for the metronome",
    u"Enables setting of the tempo via left clicking with the mouse",
    u"Shows the bar and beat, the count-in and the trainer's level",
    u"Shows the practice diary: minutes per day, tempo and timing over time, the sessions",
};

constexpr const char16_t* MessageTitles[] = {
    u"System Not Supported",
    u"Preset Name Required",
    u"Preset Already Exists",
    u"Invalid Preset Name",
    u"Invalid Preset Description",
    u"No Preset Selected",
    u"Unable To Initialise Sound Source",
    u"Invalid Custom Pattern",
    u"Invalid Custom Rhythm",
    u"Audio File Not Found",
    u"Unable To Open File",
    u"Unable To Get File Size",
    u"Unable To Read File",
    u"Invalid Audio File",
    u"Large Audio File",
    u"Metronome Unable To Play",
    u"No Audio Files Selected",
    u"Audio Files Not Found",
    u"Sequence Empty",
    u"Sequence Has Too Many Hits",
    u"Help File Not Found",
    u"Unable To Open Help File",
    u"Preset Name In Use",
    u"Settings File Line Not Understood",
    u"Command Line",
    u"Settings Not Saved",
    u"Practice Diary Not Available",
};

constexpr const char16_t* Messages[] = {
    u"This program experienced a problem accessing Windows system functionality",
    u"This program requires Windows XP/Vista/Windows 7/Windows 8 or later to run.",
    u"Please enter a name for the preset",
    u"This preset already exists. If you would like to update the settings for this preset, press 'Yes'. Otherwise, press 'No' to cancel.",
    u"Preset names can consist of letters, numbers, spaces and the signs - ' / . + , & ( ) ! ? : only, and cannot start with a bracket",
    u"Preset descriptions can consist of letters, numbers and space characters only",
    u"Please select a preset from the list before continuing",
    u"The metronome experienced an issue initialising the sound source. If using audio files as your sound source please check the files on the Audio Files tab under Settings: Tolvane plays uncompressed wave files of 8 to 32 bits, 8 to 192 kHz, mono or stereo.",
    u"Your custom pattern didn't match the expected structure. Custom patterns should contain a series of numbers each separated by a single plus (+) sign. They can't contain any characters other than numbers and plus signs and must start and end with a number.",
    u"Your custom pattern's beat total exceeds the maximum number of beats the system can handle. Please create a pattern that contains less than 100 beats in total.",
    u"One of the groups in your custom pattern had more than 100 beats in it. Individual groups in the pattern cannot have more than 100 beats.",
    u"Your custom rhythm doesn't match the expected format. Please open the Step Sequencer and try again.",
    u"Your custom rhythm's beat total exceeds the maximum number of beats the system can handle. Please open the Step Sequencer and create a pattern that contains less than 200 hits in total.",
    u"The selected audio file doesn't exist. Please check the name is correct.",
    u"The selected audio file couldn't be opened. Please check it exists and that the correct file permissions have been set.",
    u"The selected audio file is larger than the 64 MiB the metronome reads. Please choose a shorter sound.",
    u"The selected audio file could not be read as a wave file: no format and sound data were found in it. Please choose a wave file (.wav).",
    u"This file cannot be played: %1. Tolvane plays uncompressed wave files: integer samples of 8, 16, 24 or 32 bits or float samples of 32 or 64 bits, 8 to 192 kHz, mono or stereo.",
    u"One or more of your selected audio files have a size larger than 1 mb. There is a possibility that the sound may be too long for use in the metronome and will cause issues on playback.",
    u"You currently have Audio Files selected as your sound source but haven't loaded any audio files. Please either load some audio files via the Audio Files tab, or select Midi as your sound source.",
    u"You currently have Audio Files selected as your sound source but haven't loaded any audio files. Before opening the step sequencer please either load some audio files via the Audio Files tab, or select Midi as your sound source.",
    u"You currently have Audio Files selected as your sound source. However one or more of your selected audio files weren't found on disc. Before opening the step sequencer please either reset your audio files via the Audio Files tab, or select Midi as your sound source.",
    u"The step sequencer window is currently empty. Please add some instrument hits and then try again.",
    u"The number of instrument hits in your sequence exceeds the maximum. Please remove a few of the hits and try again.",
    u"Unspecified error",
    u"Specified device identifier is out of range",
    u"Driver failed enable",
    u"Specified resource is already allocated",
    u"Device handle is invalid",
    u"No device driver present",
    u"Unable to allocate or lock memory",
    u"Function isn't supported",
    u"Error value out of range",
    u"Invalid flag passed",
    u"Invalid parameter passed",
    u"Handle being used simultaneously on another thread (eg callback)",
    u"Specified alias not found",
    u"Bad registry database",
    u"Registry key not found",
    u"Registry read error",
    u"Registry write error",
    u"Registry delete error",
    u"Registry value not found",
    u"Driver does not call DriverCallback",
    u"More data to be returned",
    u"Attempted to open with an unsupported waveform audio format.",
    u"The device is still playing something",
    u"Header not prepared",
    u"The device is synchronous but waveOutOpen was called without using the WAVEALLOWSYNC flag.",
    u"One of the sounds selected for playback didn't have an audio file selected for it. Please check that all the sounds you have opted to use have files set for them under the Audio Files tab.",
    u"Unable to create a new thread for audio playback",
    u"The help file wasn't found. Please check there is a file called Tolvane.pdf in the same directory Tolvane is being run from.",
    u"Tolvane was unable to open the help file. Please check you have a PDF file reading application installed on your computer.",
    u"Another preset already has this name. Please enter a different name for the preset",
    u"Line %1 of the settings file was not understood:\n\n%2\n\nIt is kept in the file as it is, and everything else was read. Lines not understood: %3.",
    u"The preset \"%1\" named on the command line does not exist; the settings stay as they were.",
    u"The speed trainer is on: while it plays, it sets the tempo (From and To on the Options page) instead of the %1 bpm named on the command line. Turn the trainer off there to play at %1 bpm.",
    u"The settings file could not be read. It is left as it is, and the settings you change will not be saved this time. The log file Tolvane.log names the file and the reason.",
    u"There is no folder that only you can write to for the settings, so the settings you change will not be saved this time.",
    // A refused audio file: its voice's number and role, the file, and what is wrong.
    u"Voice %1 (%2): %3\n\n%4",
    // Exporting a click track: why no file was written.
    u"The click track could not be written to %1: %2. Nothing was written.",
    u"%1 exists already. Choose another name, or confirm that it is to be replaced (on the command line: --force).",
    u"The export was cancelled; no file was written.",
    u"Tolvane cannot export %1: name the file .wav, .flac, .ogg or .mid.",
    // The practice diary cannot be used (the reason); an export failed.
    u"The practice diary cannot be used:\n\n%1\n\nTolvane plays on without it this time, and the file is left as it is.",
    u"The sessions could not be written to %1.",
};

constexpr const char16_t* Informations[] = {
    u"Move the mouse over a control to display information about it here",
    u"Saves all the current settings and closes this window",
    u"Closes this window",
    u"Plays a regular beat, with no accents, using sound number one",
    u"Plays a standard musical bar, with an accent on the first beat of the bar. Sound 1 is used for the first beat, sound 2 for all subsequent beats.",
    u"Sets the number of beats per bar",
    u"Click the up arrow to increment the number of beats per bar, the down arrow to decrement",
    u"Plays a series of bars or beat groupings with an accent on the first beat on each. Sound 1 is used for the first beat of the first group, sound 2 for the first beat of subsqequent groups. Sound 3 is used for all non-accented beats.",
    u"Enter the number of beats to play for each bar or group, separating the individual groups with a plus sign. For example, you could define 12/8 as 3+3+3+3, or compound 11/8 time as 3+3+3+2",
    u"Plays a custom rhythm where you define which sounds get played and when using the step sequencer. The sounds are set using the Sound Settings tab.",
    u"Opens the step sequencer window. The step sequencer is used to create drum patterns with optional accompaniment using your selected instrument sounds.",
    u"Selects MIDI as the sound source for percussion instruments in the metronome",
    u"Selects user supplied audio files as the sound source for percussion instruments in the metronome. Note you will need to select your audio files on the Audio Files tab.",
    u"Sets the beat subdivision the metronome will play using sound 4. Note this has no effect if the compound time option is selected, when using polymeters or custom measures, or when the tempo is above 300 bpm.",
    u"Sets the secondary beat subdivision the metronome will play using sound 5. Use this in conjunction with the primary beat subdivision to create polyrhythms.",
    u"Makes the Beats Per Bar and Custom Pattern beat types play in compound time. For the first 2 types it will affect all meters with more than 3 beats per bar. For polymeters it only affects tuplet triple meters.",
    u"Turns the visual beat display on or off",
    u"Enables the speed trainer. The speed trainer causes the metronome to progressively speed up based on the parameters set.",
    u"Changes the Duration, Warm Up and Warm Down settings so they are measured in bars rather than minutes. The duration and warmdown values will indicate the number of bars to stay on each individual step of the speed training session.",
    u"Uses a logarithmic scale for the speed trainer. This means the size of the speed increments will start a little larger, and then progressively decrease throughout the speed training session.",
    u"This causes the metronome to play sound 6 everytime the speed changes.",
    u"The starting point for the speed trainer, as a percentage of the tempo. For instance, if the tempo is 120 bpm, and 'From' is set to 50% the speed trainer will start at 60 bpm.",
    u"Click the up arrow to increment the 'From' percent, the down arrow to decrement",
    u"The end point for the speed trainer, as a percentage of the tempo. For instance, if the tempo is 120 bpm, and 'To' is set to 75% the speed trainer will stop at 90 bpm.",
    u"Click the up arrow to increment the 'To' percent, the down arrow to decrement",
    u"The amount the tempo will step up by for each stage of the speed trainer. For instance, if the tempo is 120 bpm, 'From' is 50%, 'To' is 75% and 'Step' is 10%, each stage of the trainer will be 3 bpm faster than the last.",
    u"Click the up arrow to increment the 'Step' percent, the down arrow to decrement",
    u"If Durations In Bars isn't selected, sets the time in minutes the speed trainer will run. If it is selected, sets the number of bars each step in the speed training session will run for.",
    u"Click the up arrow to increment the duration for the speed trainer, the down arrow to decrement",
    u"Sets either the time in minutes or the number of bars that the metronome will run at the lowest beats per minute setting until the speed trainer starts its progression",
    u"Click the up arrow to increment the warmup duration, the down arrow to decrement",
    u"If Durations In Bars isn't selected, sets the time the metronome will take to return to the initial tempo after the speed trainer completes. If it is selected, it sets the number of bars used for each step of the warm down.",
    u"Click the up arrow to increment the warm down duration, the down arrow to decrement",
    u"Selects the sound for this voice. The sound you choose plays once; while the metronome plays, from the next beat.",
    u"Sets the volume for this voice. Letting go of the slider plays the voice at that volume; while the metronome plays, from the next beat.",
    u"Sets the size of the visual beat indicator for this voice",
    u"Sets the colour of the visual beat indicator for this voice",
    u"Selects the audio file to use for this voice",
    u"Opens a dialog box which enables you to select the audio file to use for this voice",
    u"Sets the name to use for the new metronome preset",
    u"Enter a description of the preset here. This should be descriptive so that you can readily get an indication of the presets purpose or settings.",
    u"Saves all current settings as a new metronome preset",
    u"Clears the Preset Name and Preset Description text boxes",
    u"Saves all current settings as a new metronome preset",
    u"Updates the preset currently selected in the preset list",
    u"Loads the preset currently selected in the preset list",
    u"Deletes the preset currently selected in the preset list",
    u"Lists all metronome presets. Double click a preset to load it. Hold the Ctrl key while double clicking to simply load a presets name and description into the text boxes above.",
    u"Sets the number of bars in your custom rhythm",
    u"Sets the number of beats in each bar of your custom rhythm",
    u"Sets the beat subdivision for your custom rhythm",
    u"Makes the step sequencer play in compound time. Use this to create odd compound time measures such as compound 11/8.",
    u"Removes duplicate Sound Setting instrument names from the list on the left hand side of the sequencer",
    u"Defines the note pattern to play. Click on the intersection of a beat subdivision and an instrument to add a note.",
    u"Clears the step sequencer and chord sequence",
    u"Plays the custom rhythm",
    u"Saves the custom rhythm",
    // The Practice page.
    u"Plays a count-in before the first bar when you press Start: one, two or four bars in the first bar's metre, or two beats, at the starting tempo. Resuming from a pause plays none.",
    u"Selects the sound of the count-in. With audio files as the sound source the count-in plays voice 1's file.",
    u"Every bar sounds",
    u"Mutes bars in a repeating cycle: a number of bars played, then a number of bars muted. The tempo, the bar counter and the visual beat indicator go on through muted bars.",
    u"Sets how many bars sound in each cycle, 1 to 16",
    u"Sets how many bars are silent after them, 1 to 16",
    u"Mutes bars by chance, as many as the share set here. The seed decides which bars, so that a run can be repeated exactly. The first bar is never muted.",
    u"Sets the share of muted bars, 5 to 95 percent in steps of 5",
    u"Lets the share of muted bars rise from none to the share set over a number of bars",
    u"Sets over how many bars the share rises, 1 to 64",
    u"The seed of the random muted bars: the same seed mutes the same bars. The command line option --seed sets it too.",
    u"Picks a new random seed",
    u"A muted bar still sounds its first beat",
    u"Delays every second eighth or sixteenth: 50\u00a0% plays straight, 66.7\u00a0% a triplet feel, 75\u00a0% dotted. Main beats, the secondary subdivision and the count-in stay straight.",
    // The practice diary window and its switch on the Options page.
    u"Chooses how many weeks the charts show",
    u"The minutes you practised on each day",
    u"The highest tempo each session reached, one line per preset or song",
    u"The mean of your timing against the clicks (line) and its spread (band), for sessions with timing feedback",
    u"Shows only the sessions whose name contains this text",
    u"Shows only the sessions from this day on",
    u"Shows only the sessions up to this day",
    u"The sessions in the diary. Click a column heading to sort by it; the Delete key removes the selected session",
    u"Removes the selected session from the diary, after asking",
    u"Removes every session from the diary, after asking",
    u"Writes the sessions shown in the table to a CSV file",
    u"Where the diary is kept",
    u"Closes this window",
    u"The charts and the table of sessions; Ctrl+Tab moves between them",
    u"Keeps every run of 10 seconds or more in the practice diary (Tools > Practice Diary). Off: nothing is written to it",
};

constexpr const char16_t* Texts[] = {
    u"Tolvane",
    u"bpm",
    u"Unacceptable Character",
    u"You can only type numbers and period (.) signs here",
    u"You can only type numbers and plus (+) signs here",
    u"You can only type numbers and percent (%) signs here",
    u"Options",
    u"Sound Settings",
    u"Audio Files",
    u"Presets",
    u"Information",
    u"User Licence Agreement",
    u"Preset",
    u"Description",
    u"Open Audio File",
    u"Audio Files (*.wav)",
    // What each voice plays, beside its row of the Sound Settings page (voices 7 to 12 share the last).
    u"Accent",
    u"Beat / group start",
    u"Secondary accent / beat in group",
    u"Subdivision 1",
    u"Subdivision 2",
    u"Trainer signal",
    u"Rhythm",
    // Start/Stop while Space holds a speed-trainer run.
    u"Resume",
    // What the speed trainer's durations count: minutes, or bars (Durations In Bars).
    u"min in total",
    u"bars per level",
    u"min",
    u"bars",
    // What is wrong with an audio file's format, after "This file cannot be played: ".
    u"%1 compression is not supported",
    u"its encoding (format tag %1) is not supported",
    u"%1-bit integer samples are not supported",
    u"%1-bit float samples are not supported",
    u"it has %1 channels; only mono and stereo files play",
    u"its sample rate is %1 Hz; the sample rate must be 8 to 192 kHz",
    // The tempo markings under the tempo read-out, slowest first (TempoMarkingText).
    u"Larghissimo",
    u"Grave",
    u"Largo",
    u"Larghetto",
    u"Adagio",
    u"Andante",
    u"Moderato",
    u"Allegro",
    u"Vivace",
    u"Presto",
    u"Prestissimo",
    // The main window's bar counter: its name, a count-in of two beats, the speed trainer's level.
    u"Bar counter",
    u"In",
    u"%1 bpm · bars left: %2",
    // The View menu: its title, its items and their help lines.
    u"&View",
    u"&Full Screen\tF11",
    u"&Visual Only (No Sound)",
    u"&Strong Flashes",
    u"Shows the beat over the whole screen, with the bar, the beat and the tempo in large numerals (Escape leaves)",
    u"Mutes the sound: the beat is only shown, and the practice still counts",
    u"Flashes the full screen in the voice's full colour instead of a dark shade of it",
    // Exporting a click track: the menu item, its help, and the export window (index 55 on).
    u"&Export Click Track...",
    u"Writes the settings, a preset or a song as a click track: a sound file or a MIDI file",
    u"Export Click Track",
    u"&What:",
    u"The current settings",
    u"Preset: %1",
    u"&Format:",
    u"WAV, 16-bit",
    u"WAV, 24-bit",
    u"WAV, 32-bit float",
    u"FLAC",
    u"Ogg Vorbis",
    u"MIDI file",
    u"Sample &rate:",
    u"&Length:",
    u"bars after the count-in",
    u"seconds",
    u"the speed trainer's whole run",
    u"File &name:",
    u"&Browse...",
    u"&Export",
    u"&Cancel",
    u"&Close",
    u"Exported to %1.",
    u"%1 exists already. Replace it?",
    u"Chooses what to export: the current settings, one of the presets or a song file",
    u"Chooses the file type: a sound file for any player, or a MIDI file with the tempo map for a DAW",
    u"Chooses the sound file's sample rate",
    u"Sets how long the click track is: bars after the count-in, seconds, or the speed trainer's or the song's whole run",
    u"The file the click track is written to",
    u"Chooses the file in a file window",
    u"Writes the click track; a file that exists is replaced only after you confirm",
    u"How much of the click track is written; Cancel stops and leaves no file",
    u"Sound files (*.wav *.flac *.ogg);;MIDI files (*.mid)",
    // The Practice page: its tab, the count-in, muted bars and swing.
    u"Practice",
    u"Count-In",
    u"&Length",
    u"Off",
    u"1 bar",
    u"2 bars",
    u"4 bars",
    u"2 beats",
    u"S&ound",
    u"With audio files as the sound source, the count-in plays voice 1's file.",
    u"Muted Bars",
    u"O&ff",
    u"&Periodic",
    u"Bars Pl&ayed",
    u"Bars &Muted",
    u"&Random",
    u"Muted S&hare",
    u"R&ise Over",
    u"S&eed",
    u"&New Seed",
    u"Keep The &Downbeat",
    u"Swing",
    u"S&wing",
    u"50\u00a0% plays straight, 66.7\u00a0% a triplet feel, 75\u00a0% dotted.",
    u"Off: swing needs 2 or 4 steps per beat (Beat Subdivision 2 or 4, or a custom rhythm's steps), without compound time or a secondary subdivision.",
    // The practice diary window and its switch on the Options page.
    u"Practice Diary",
    u"Current settings",
    u"Minutes per day",
    u"Tempo reached (bpm)",
    u"Timing: mean and spread (ms)",
    u"Last 4 weeks",
    u"Last 12 weeks",
    u"&Name:",
    u"&From:",
    u"T&o:",
    u"E&xport CSV...",
    u"&Delete",
    u"Delete &All...",
    u"Diary file: %1",
    u"Start",
    u"Minutes",
    u"Name",
    u"Tempo at start",
    u"Lowest",
    u"Highest",
    u"Mean (ms)",
    u"Spread (ms)",
    u"Delete the session of %1?",
    u"Delete all %1 sessions from the diary? This cannot be undone.",
    u"CSV files (*.csv)",
    u"Keep a practice diar&y",
    u"The practice diary is switched off on the Options page: nothing is recorded.",
    u"No timing figures yet: timing feedback provides them.",
    u"&Close",
    u"&Show:",
    u"&Minutes",
    u"&Tempo",
    u"T&iming",
    u"S&essions",
    // Later groups keep room to grow: a language file names an entry by its number, so
    // numbers never move. An entry not yet used is empty.
    // Songs and setlists: 148-199
    u"Song &Editor...", // 148
    u"Set&list...", // 149
    u"Song Editor - %1", // 150
    u"Setlist - %1", // 151
    u"New song", // 152
    u"&Parts:", // 153
    u"Label", // 154
    u"Bars", // 155
    u"Metre", // 156
    u"Tempo", // 157
    u"Pattern", // 158
    u"Volume", // 159
    u"More", // 160
    u"&Count-in:", // 161
    u"None", // 162
    u"1 bar", // 163
    u"2 bars", // 164
    u"4 bars", // 165
    u"2 beats", // 166
    u"&Ending:", // 167
    u"Stop", // 168
    u"Loop", // 169
    u"Next song of the setlist", // 170
    u"&Add", // 171
    u"&Remove", // 172
    u"Move &Up", // 173
    u"Move &Down", // 174
    u"Dupl&icate", // 175
    u"Pla&y", // 176
    u"&Open...", // 177
    u"&Save", // 178
    u"Sa&ve As...", // 179
    u"C&lose", // 180
    u"%1, line %2: %3", // 181
    u"%1 could not be saved; the file stays as it was.", // 182
    u"Songs (*.klick *.txt);;All files (*)", // 183
    u"&Songs:", // 184
    u"%1 (not found)", // 185
    u"Setlists (*.setlist *.txt);;All files (*)", // 186
    u"Previous part (Alt+Left; with Shift at the next beat)", // 187
    u"Next part (Alt+Right; with Shift at the next beat)", // 188
    u"A row a part; type in a cell to change it. Bars 0: the part plays until you move on. Tempo 100-160: a change across the part. Pattern: X accented, x plain, . silent. More: compound, groups=3+2+2, swing=66, gap=3:1.", // 189
    u"Played once before the first part.", // 190
    u"What follows the last part: stop, play the song again, or the setlist's next song.", // 191
    u"Adds a part after the selected one (Duplicate: a copy of it), or song files at the end of the setlist.", // 192
    u"Removes the selected part or song (Delete).", // 193
    u"Moves the selected part or song up or down (Alt+Up, Alt+Down).", // 194
    u"Songs: parts that change tempo, metre and accents at the bar line; setlists of songs.", // 195
    u"Plays from the selected part, or the selected song (Enter, double-click).", // 196
    u"Opens a file, or saves to one (an old file stays as it was until the new one is complete).", // 197
    u"%1 (playing)", // 198
    u"The songs in order: drag one, or move it with Alt+Up and Alt+Down.", // 199
    // Sync and remote control: 200-239
    u"Sync and Control", // 200
    u"OSC", // 201
    u"&Take OSC commands", // 202
    u"UDP &port", // 203
    u"A&ddress", // 204
    u"Other computers can reach this address and start, stop or change Tolvane. Keep 127.0.0.1 unless they must.", // 205
    u"Listening on port %1: %2 commands carried out, %3 messages ignored.", // 206
    u"Not listening for OSC.", // 207
    u"Type a numeric address, such as 127.0.0.1 (this computer only) or 0.0.0.0 (every network).", // 208
    u"UDP port %1 cannot be opened; another program may be using it.", // 209
    u"MIDI Control", // 210
    u"Command", // 211
    u"Note or controller", // 212
    u"&Learn", // 213
    u"C&lear", // 214
    u"Press a key, pad or pedal on your MIDI controller now.", // 215
    u"MIDI input: the JACK port Tolvane:midi_in.", // 216
    u"MIDI input: the ALSA port Tolvane:midi_in.", // 217
    u"No MIDI input: neither a JACK server nor an ALSA sequencer runs.", // 218
    u"Note %1, channel %2", // 219
    u"Controller %1, channel %2", // 220
    u"any", // 221
    u"Start/Stop", // 222
    u"Start", // 223
    u"Stop", // 224
    u"Tap", // 225
    u"Tempo %1", // 226
    u"Preset %1", // 227
    u"Lets programs and controllers start, stop and set Tolvane with OSC messages such as /tolvane/tempo 120", // 228
    u"The UDP port Tolvane takes OSC messages on, 1024 to 65535", // 229
    u"The address the port is bound to: 127.0.0.1 lets only programs on this computer in", // 230
    u"Each command with the MIDI note or controller that sets it off; a foot pedal works while the window is in the background", // 231
    u"The next note, pad or pedal pressed on a MIDI controller sets off the selected command", // 232
    u"Removes the selected command's note or controller", // 233
    u"", // 234
    u"", // 235
    u"", // 236
    u"", // 237
    u"", // 238
    u"", // 239
    // Timing feedback: 240-289
    u"&Timing feedback", // 240
    u"Scores every hit you play (a note into Tolvane's MIDI input, or the sound of your instrument through the audio input) against the clicks as you hear them, and shows your last hits under the sliders.", // 241
    u"Timing of your last hits", // 242
    u"Your last hits: early left, late right; green ≤ 10 ms, amber ≤ 25 ms, grey stray", // 243
    u"early", // 244
    u"late", // 245
    u"Timing feedback: listening on %1", // 246
    u"Timing feedback: no MIDI input to listen on (neither JACK nor an ALSA sequencer)", // 247
    u"%1 ms", // 248
    u"count-in", // 249
    u"stray", // 250
    u"Timing of the take", // 251
    u"Hits: %1 · stray: %2 · missed: %3 · in the count-in: %4", // 252
    u"Mean: %1 ms · spread: %2 ms · drift: %3 ms per minute", // 253
    u"Clicked bars: mean %1 ms, spread %2 ms", // 254
    u"Muted bars: mean %1 ms, spread %2 ms", // 255
    u"Error of each hit (ms, late above 0)", // 256
    u"Bias per position of the bar (ms)", // 257
    u"Time (s)", // 258
    u"Save as &CSV...", // 259
    u"Save as &PNG...", // 260
    u"&Close", // 261
    u"CSV files (*.csv)", // 262
    u"PNG pictures (*.png)", // 263
    u"The file could not be written: %1", // 264
    u"Clicked bars", // 265
    u"Muted bars", // 266
    u"Stray hits", // 267
    u"The take's figures: positive milliseconds are late, negative early", // 268
    u"Every hit's error over the take; muted bars apart, stray hits grey", // 269
    u"The mean error on each position of the bar: where you rush or drag", // 270
    u"Saves every hit (time, bar, position, error, kind) as a CSV file", // 271
    u"Saves both charts as a PNG picture", // 272
    u"Closes the summary", // 273
    u"", // 274
    u"", // 275
    u"", // 276
    u"", // 277
    u"", // 278
    u"", // 279
    u"", // 280
    u"", // 281
    u"", // 282
    u"", // 283
    u"", // 284
    u"", // 285
    u"", // 286
    u"", // 287
    u"", // 288
    u"", // 289
    // Spoken counting and the output offset: 290-319
    u"one", // 290
    u"two", // 291
    u"three", // 292
    u"four", // 293
    u"five", // 294
    u"six", // 295
    u"seven", // 296
    u"eight", // 297
    u"nine", // 298
    u"ten", // 299
    u"eleven", // 300
    u"twelve", // 301
    u"e", // 302
    u"and", // 303
    u"a", // 304
    u"trip", // 305
    u"let", // 306
    u"Spo&ken Count", // 307
    u"Off", // 308
    u"Count-in only", // 309
    u"Count-in and beats", // 310
    u"Count &Groups Straight Through", // 311
    u"Speaks the count in the program's language: the count-in's numbers instead of its clicks, or also every beat's number and the words between the beats (\"one e and a\", \"one trip-let\"); above eight words a second only the numbers.", // 312
    u"With groups such as 3+3+2 the count goes on through the bar (1 2 3 4 5 6 7 8) instead of starting from one at each group.", // 313
    u"With timing feedback from the MIDI input, a level moves on only when its hits had a mean and a standard deviation within these limits; otherwise it is played again, at most so many times, and then the run stops and says why.", // 314
    u"Level played again (%1 of %2): %3 hits, mean %4 ms, spread %5 ms.", // 315
    u"The speed trainer stopped at %1 bpm: the level was played %2 times without its hits reaching a mean within ±%3 ms and a spread within %4 ms (last time: %5 hits, mean %6 ms, spread %7 ms).", // 316
    u"The speed trainer advances as usual: it waits for good playing only with timing feedback on and a MIDI input.", // 317
    u"Visual only is on, as it was left (View menu): the metronome plays no sound.", // 318
    u"Tap here, or press any key", // 319
    // Export and diary additions: 320-339
    u"There is no folder to keep it in: neither XDG_DATA_HOME nor HOME names one.", // 320
    u"The file %1 is damaged or is not a practice diary.", // 321
    u"The file %1 was written by a newer version of Tolvane.", // 322
    u"The file %1 belongs to another user.", // 323
    u"The file %1 is in use by another program, perhaps another copy of Tolvane.", // 324
    u"Tolvane may not write to the file %1 or its folder.", // 325
    u"There is no space left for the file %1.", // 326
    u"The file %1 cannot be opened or written.", // 327
    u"Details (also in the log file Tolvane.log): %1", // 328
    u"Song: %1", // 329
    u"A song file...", // 330
    u"the whole song", // 331
    u"Songs (*.klick *.txt);;All files (*)", // 332
    u"", // 333
    u"", // 334
    u"", // 335
    u"", // 336
    u"", // 337
    u"", // 338
    u"", // 339
    // Why a line of a song file could not be read: 340-359
    u"the label may hold only letters, digits, _ and -",
    u"the number of bars is missing",
    u"the number of bars must be 0 to 9999",
    u"the metre must be 1 to 64 beats of a 1, 2, 4, 8, 16 or 32 note, such as 7/8",
    u"the tempo is missing",
    u"the tempo must be 1 to 1000 quarter notes a minute (a-b for a change, a,b,... for one a beat)",
    u"the pattern has %1 beats, the bar %2",
    u"\"%1\" is neither a pattern (X, x, .) nor a volume",
    u"the volume must be 0 to 10",
    u"unexpected \"%1\" after the part",
    u"%1 is out of range",
    u"%1 compound needs 6, 9, 12 ... beats",
    u"%1 tempos for %2 beats",
    u"a part without end cannot change its tempo",
    u"", // 354
    u"", // 355
    u"", // 356
    u"", // 357
    u"", // 358
    u"", // 359
    // JACK transport and MIDI clock in: 360-379
    u"JACK transport", // 360
    u"Transp&ort", // 361
    u"Leave alone", // 362
    u"Follow", // 363
    u"Lead", // 364
    u"The transport rolls.", // 365
    u"The transport is stopped.", // 366
    u"Tolvane does not play through JACK now; the transport is followed or led once it does.", // 367
    u"Follow: start and stop with the JACK transport and click on its beats, at its tempo and in its metre, without a count-in. Lead: be its timebase master, start it on bar 1 after the count-in, tell it the tempo, metre and bar, and stop it.", // 368
    u"", // 369
    u"", // 370
    u"", // 371
    u"", // 372
    u"", // 373
    u"MIDI clock", // 374
    u"&No MIDI clock", // 375
    u"&Send the clock (port midi_out)", // 376
    u"&Follow the clock that comes in", // 377
    u"Following a clock of %1 beats a minute.", // 378
    u"No clock is coming in.", // 379
    // Ableton Link and MIDI clock out through ALSA: 380-399
    u"Ableton Lin&k", // 380
    u"Plays in the local network's Ableton Link session: its tempo, beats, bar lines (the bar's beats as quantum), starts and stops, both ways. While the JACK transport or a MIDI clock is followed, that leads and Link only shows its peers.", // 381
    u"Link: no peers", // 382
    u"Link: 1 peer", // 383
    u"Link: %1 peers", // 384
    u"Next part", // 385
    u"Previous part", // 386
    u"Next song", // 387
    u"Previous song", // 388
    u"", // 389
    u"", // 390
    u"", // 391
    u"", // 392
    u"", // 393
    u"Tolvane neither sends nor follows a MIDI clock.", // 394
    u"Sends MIDI clock, Start, Stop and Song Position through the midi_out port of Tolvane's JACK client, or without JACK through the ALSA sequencer port Tolvane:midi_out, so that a drum machine or a DAW plays along.", // 395
    u"Takes the tempo, the beats, Start, Stop and Continue from a MIDI clock on midi_in (JACK or the ALSA sequencer); there is no count-in.", // 396
    u"MIDI clock: no JACK and no ALSA sequencer (/dev/snd/seq), so the clock is not sent.", // 397
    u"", // 398
    u"", // 399
    // Audio input, onsets and latency calibration: 400-419
    u"Hits &from:", // 400
    u"MIDI input", // 401
    u"Microphone or line input", // 402
    u"Where the timing feedback takes your hits from: notes played into Tolvane's MIDI input, or the sound of your instrument through the sound server's default input (a microphone or a line input; through JACK, Tolvane:in_1).", // 403
    u"Cal&ibrate", // 404
    u"Plays eight short clicks and finds them again in the audio input (the speaker heard by the microphone, or a loopback cable); the round trip is kept for this output and input when you click OK. Keep quiet while it listens.", // 405
    u"Timing feedback: listening to %1 (round trip calibrated: %2 ms)", // 406
    u"Timing feedback: listening to %1 (round trip not calibrated)", // 407
    u"Timing feedback: the audio input cannot be opened (%1)", // 408
    u"Calibrating %1: listening...", // 409
    u"Round trip of %1: %2 ms (kept when you click OK)", // 410
    u"The calibration found nothing in the input, so nothing was changed. Is the input switched on, and does it hear the speaker (or is the loopback connected)?", // 411
    u"The calibration cannot start: %1", // 412
    u"Latency Calibration", // 413
    u"What the last calibration found: the round trip beyond the latencies the sound servers report, for this output and input", // 414
    u"", // 415
    u"", // 416
    u"", // 417
    u"", // 418
    u"", // 419
    // Output offset and the trainer that waits: 420-439
    u"Output Offset", // 420
    u"Output: %1", // 421
    u"none open yet", // 422
    u"Off&set", // 423
    u"MIDI Inp&ut Latency", // 424
    u"&Tap to Calibrate...", // 425
    u"Added to when each click is heard, for this output only (Bluetooth headphones: often 150 to 250 ms). The lamp, the full-screen view and the step sequencer's cursor follow it; timing feedback takes it as the delay before you hear a click.", // 426
    u"Plays 16 clicks; tap along to what you hear, by key or mouse. The median of your taps is proposed as the offset, used only if you accept it.", // 427
    u"The delay between striking a key or pad and its note reaching Tolvane: taken off every hit that timing feedback scores from the MIDI input.", // 428
    u"Tap to Calibrate", // 429
    u"Press Start, listen, and tap a key (or click in this window) on each of the %1 clicks as you hear it. Look away from the screen: tap what you hear.", // 430
    u"&Start", // 431
    u"Click %1 of %2 heard, %3 taps", // 432
    u"%1 of %2 clicks had a tap. Their median offset is %3 ms: use it for this output?", // 433
    u"Only %1 of %2 clicks had a tap (at least %3 are needed): nothing was changed.", // 434
    u"&Use It", // 435
    u"Advance Only When I Play It &Well", // 436
    u"Mean Within ±", // 437
    u"Spread Within", // 438
    u"Repeats At Most", // 439
};

constexpr const char16_t* InstrumentNames[] = {
    u"Acoustic Bass Drum",
    u"Acoustic Snare",
    u"Bass Drum 1",
    u"Cabasa",
    u"Chinese Cymbal",
    u"Claves",
    u"Closed Hi-Hat",
    u"Cowbell",
    u"Crash Cymbal 1",
    u"Crash Cymbal 2",
    u"Electric Snare",
    u"Hand Clap",
    u"Hi Bongo",
    u"High Agogo",
    u"High Floor Tom",
    u"High Timbale",
    u"High Tom",
    u"Hi Mid Tom",
    u"Hi Wood Block",
    u"Long Guiro",
    u"Long Whistle",
    u"Low Agogo",
    u"Low Bongo",
    u"Low Conga",
    u"Low Timbale",
    u"Low Floor Tom",
    u"Low-Mid Tom",
    u"Low Tom",
    u"Low Wood Block",
    u"Maracas",
    u"Mute Cuica",
    u"Mute Hi Conga",
    u"Mute Triangle",
    u"Open Cuica",
    u"Open Hi Conga",
    u"Open Hi-Hat",
    u"Open Triangle",
    u"Pedal Hi-hat",
    u"Ride Bell",
    u"Ride Cymbal 1",
    u"Ride Cymbal 2",
    u"Short Guiro",
    u"Short Whistle",
    u"Side Stick",
    u"Splash Cymbal",
    u"Tambourine",
    u"Vibraslap",
};

template <std::size_t N>
const char16_t* Lookup(const char16_t* const (&table)[N], int index) noexcept
{
    return index >= 0 && static_cast<std::size_t>(index) < N ? table[index] : nullptr;
}

static_assert(std::size(MenuTitles) == ILanguage::MenuCount);
static_assert(std::size(MenuItems) == ILanguage::MenuItemCount);
static_assert(std::size(ToolbarLabels) == ILanguage::ToolbarButtonCount);
static_assert(std::size(Tooltips) == 4);
static_assert(std::size(StatusInfos) == 17);
static_assert(std::size(MessageTitles) == 27);
static_assert(std::size(Messages) == 66);
static_assert(std::size(Informations) == 86);
static_assert(std::size(Texts) == ILanguage::TextCount);
static_assert(std::size(InstrumentNames) == ILanguage::InstrumentCount);

} // namespace

const char16_t* DefaultLanguage::GetMenuTitle(int menu) const noexcept
{
    return Lookup(MenuTitles, menu);
}

std::optional<std::u16string> DefaultLanguage::GetMenuItemText(int position) const
{
    const char16_t* text = Lookup(MenuItems, position);
    if (text == nullptr)
        return std::nullopt;
    return std::u16string(text);
}

const char16_t* DefaultLanguage::GetToolbarText(int index) const noexcept
{
    return Lookup(ToolbarLabels, index);
}

const char16_t* DefaultLanguage::GetDialogTitle(int) const noexcept
{
    return nullptr; // the dialogs are designed in English
}

const char16_t* DefaultLanguage::GetDialogControlText(int) const noexcept
{
    return nullptr;
}

const char16_t* DefaultLanguage::GetTooltip(int index) const noexcept
{
    return Lookup(Tooltips, index);
}

const char16_t* DefaultLanguage::GetStatusInfo(int index) const noexcept
{
    return Lookup(StatusInfos, index);
}

const char16_t* DefaultLanguage::GetControlText(int controlId) const noexcept
{
    switch (controlId) {
    case 1001:
        return u"Start";
    case 1002:
        return u"Stop";
    case 1003:
        return u"Tap";
    case 1004:
        return u"Tempo";
    case 1005:
        return u"Volume";
    case 1082:
        return u"&Play";
    default:
        return nullptr;
    }
}

const char16_t* DefaultLanguage::GetMessage(int index) const noexcept
{
    return Lookup(Messages, index);
}

const char16_t* DefaultLanguage::GetMessageTitle(int index) const noexcept
{
    return Lookup(MessageTitles, index);
}

const char16_t* DefaultLanguage::GetInformation(int index) const noexcept
{
    return Lookup(Informations, index);
}

const char16_t* DefaultLanguage::GetText(int index) const noexcept
{
    return Lookup(Texts, index);
}

const char16_t* DefaultLanguage::GetInstrumentName(int index) const noexcept
{
    return Lookup(InstrumentNames, index);
}

} // namespace System

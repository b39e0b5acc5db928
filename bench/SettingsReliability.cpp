// The settings file's checks of the reliability run (reliability_tool settings FOLDER): one
// line per fault, "1<tab>text" when it holds and "0<tab>text" when not, with its counts.
#include "Configuration/FileConfiguration.h"
#include "Platform/Text.h"
#include "System/ILog.h"
#include "System/Log.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

namespace {

using Configuration::ConfigurationData;
using Configuration::FileConfiguration;

// The store logs what it reads; counted here instead of written anywhere.
class CountingLog final : public System::ILog {
public:
    void WriteWideV(int, const char16_t*, va_list) override { ++lines; }
    void WriteV(int, const char*, va_list) override { ++lines; }
    void SetLevel(int) override {}
    int lines = 0;
};

const std::string Bom = "\xEF\xBB\xBF";

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Report(bool holds, const std::string& text)
{
    std::printf("%d\t%s\n", holds ? 1 : 0, text.c_str());
    std::fflush(stdout);
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// F3: '#', tab, backslashes and leading spaces in texts read back byte for byte.
void Escaping(const std::string& folder)
{
    const std::string path = folder + "/escaping.conf";
    const std::u16string texts[] = {u"/music/Track #1.wav", u"/music/a\tb.wav", u"  /music/lead.wav",
                                    u"C:\\Sounds\\#5\\kick.wav", u"\\\\server\\share\\x.wav", u"=odd.wav",
                                    u"/" + std::u16string(700, u'\u00E9') + u".wav"};
    FileConfiguration store(path);
    int voice = 0;
    for (const auto& text : texts)
        store.GetData().File[voice++] = text;
    ConfigurationData preset;
    preset.Name = u"Song #5\tfast";
    preset.Description = u" Song #5 fast";
    store.AddPreset(preset);
    store.Save();
    FileConfiguration reread(path);
    reread.Load();
    int same = 0;
    for (voice = 0; voice < static_cast<int>(std::size(texts)); ++voice)
        same += reread.GetData().File[voice] == texts[voice];
    same += reread.LoadPreset(preset.Name) && reread.GetData().Description == preset.Description;
    const int total = static_cast<int>(std::size(texts)) + 1;
    Report(same == total, "F3 texts with '#', tab, backslashes, leading spaces, a path of 700 two-byte characters: "
                              + std::to_string(same) + " of "
                              + std::to_string(total) + " read back byte for byte");
}

// F2: unknown and malformed lines are kept and written back; the backup keeps the last good file.
void KeptLines(const std::string& folder)
{
    const std::string path = folder + "/kept.conf";
    const std::string good = Bom + "# Metronome Configuration File\r\nBpm = 90\r\nPreset0 = A\r\nBpm = 60\r\n";
    Write(path, good);
    {
        FileConfiguration store(path);
        store.Load();
        store.Save();
    }
    const std::string bad[] = {"FutureSetting = 1", "Bpm 91", std::string(64, 'K') + " = 1",
                               "File1 = " + std::string(2400, 'f'), "Preset7 = B", "Bpm = 61"};
    std::string text = Bom + "# Metronome Configuration File\r\nBpm = 90\r\n";
    for (const auto& line : bad)
        text += line + "\r\n";
    text += "Preset9 = C\r\nBpm = 62\r\n";
    int kept = 0, presets = 0, backupGood = 0, unread = 0;
    for (int run = 0; run < 2; ++run) {
        Write(path, text);
        FileConfiguration store(path);
        store.Load();
        unread = store.UnreadLine().count;
        store.Save();
        const std::string saved = Read(path);
        kept = 0;
        for (const auto& line : {bad[0], bad[1], bad[2], bad[3]})
            kept += saved.find("\r\n" + line + "\r\n") != std::string::npos;
        presets = 0;
        store.ForEachPreset([&](const ConfigurationData&) { ++presets; });
        backupGood += Read(store.BackupPath()) == good;
    }
    Report(kept == 4 && presets == 2 && backupGood == 2 && unread == 4,
           "F2 four lines not understood among presets: " + std::to_string(unread) + " reported, " + std::to_string(kept)
               + " written back, " + std::to_string(presets) + " of 2 presets after them read; the backup of the good "
               "file kept over " + std::to_string(backupGood) + " of 2 saves of the odd one");
}

// F13: a line of any length is read whole.
void LongLines(const std::string& folder)
{
    const std::string path = folder + "/long.conf";
    int misread = 0;
    for (const std::size_t length : {899u, 900u, 4096u, 100000u}) {
        Write(path, Bom + "Description = " + std::string(length, ' ') + "Bpm = 222\r\n#" + std::string(length, 'x')
                        + "Bpm = 223\r\nBeep = 0\r\n");
        FileConfiguration store(path);
        store.Load();
        misread += store.GetData().Bpm != 120 || store.GetData().Beep != 0;
    }
    Report(misread == 0, "F13 padded lines of 899 to 100,000 bytes: " + std::to_string(misread) + " of 4 misread");
}

// Non-numbers in number keys keep the default.
void NonNumbers(const std::string& folder)
{
    const std::string path = folder + "/numbers.conf";
    Write(path, Bom + "GlobalVolume = abc\r\nBpm = fast\r\nFrom = half\r\nVolume3 = \r\n");
    FileConfiguration store(path);
    store.Load();
    const auto& data = store.GetData();
    const int kept = (data.GlobalVolume == 100) + (data.Bpm == 120) + (data.From == 0.5f) + (data.Volume[2] == 127);
    Report(kept == 4, "non-numbers in 4 number keys: " + std::to_string(kept) + " kept their default");
}

void Fill(FileConfiguration& store, int presets, bool sameName)
{
    for (int i = 0; i < presets; ++i) {
        ConfigurationData preset;
        preset.Name = sameName ? u"Same" : Platform::Text::Utf8ToUtf16("Preset " + std::to_string(i));
        preset.Bpm = 40 + i % 300;
        preset.BeatsPerBar = 2 + i % 50;
        store.AddPreset(preset);
    }
}

// F1: 13,000 small presets are written far below the limit and read back; a file the reader
// would refuse is not written.
void WrittenCanBeRead(const std::string& folder)
{
    const std::string path = folder + "/many.conf";
    FileConfiguration store(path);
    Fill(store, 13000, false);
    store.Save();
    const std::size_t bytes = Read(path).size();
    FileConfiguration reread(path);
    reread.Load();
    const std::size_t read = reread.Presets().size();

    const std::string before = Read(path);
    ConfigurationData big;
    big.Description = std::u16string(255, u'd');
    for (auto& file : big.File)
        file = std::u16string(771, u'f');
    for (int i = 0; i < 1800; ++i) {
        big.Name = Platform::Text::Utf8ToUtf16("Big " + std::to_string(i));
        reread.AddPreset(big);
    }
    const bool refused = !reread.Save() && Read(path) == before;
    Report(bytes < 2 * 1024 * 1024 && read == 13000 && refused,
           "F1 13,000 small presets: " + std::to_string(bytes) + " bytes written, " + std::to_string(read)
               + " read back; 1,800 presets of full-length texts (past 16 MiB): save refused, file kept "
               + (refused ? "yes" : "NO"));
}

// F4: 20,000 presets of one name load in well under a second.
void Duplicates(const std::string& folder)
{
    const std::string path = folder + "/same.conf";
    std::string text = Bom + "# Metronome Configuration File\r\n";
    for (int i = 0; i < 20000; ++i)
        text += "Preset" + std::to_string(i) + " = Same\r\nBpm = " + std::to_string(40 + i % 300) + "\r\n";
    Write(path, text);
    FileConfiguration store(path);
    const auto start = std::chrono::steady_clock::now();
    store.Load();
    const double seconds = Seconds(start);
    char line[160];
    std::snprintf(line, sizeof line, "F4 20,000 presets named Same: %zu kept under distinct names, loaded in %.3f s",
                  store.Presets().size(), seconds);
    Report(store.Presets().size() == 20000 && seconds < 1.0, line);
}

// Resident memory (KiB) that loading the file at path adds, measured in a fresh process
// (this one's freed memory would be reused and hide it): "before after presets", or "".
std::string LoadedResident(const std::string& path, bool limited = false)
{
    std::string answer;
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return answer;
    if (FILE* child = ::popen(("'" + std::string(self) + "' load-resident '" + path + (limited ? "' limited" : "'")).c_str(), "r")) {
        char line[128];
        if (std::fgets(line, sizeof line, child))
            answer = line;
        ::pclose(child);
    }
    return answer;
}

// F5: memory per preset follows its content; running out of memory is refused, not an abort.
void Memory(const std::string& folder)
{
    const std::string path = folder + "/memory.conf";
    {
        FileConfiguration store(path);
        Fill(store, 100000, false);
        store.Save();
    }
    const std::size_t bytes = Read(path).size();
    long perPreset = -1, fiveThousand = -1, before = 0, after = 0, presets = 0;
    if (std::sscanf(LoadedResident(path).c_str(), "%ld %ld %ld", &before, &after, &presets) == 3 && presets == 100000)
        perPreset = (after - before) * 1024 / presets;
    {
        FileConfiguration small(folder + "/five.conf");
        Fill(small, 5000, false);
        small.Save();
    }
    if (std::sscanf(LoadedResident(folder + "/five.conf").c_str(), "%ld %ld %ld", &before, &after, &presets) == 3)
        fiveThousand = after - before;
    // In a fresh process under an address-space limit 16 MiB above what it holds before the load.
    long outcome = -1;
    std::sscanf(LoadedResident(path, true).c_str(), "%ld %ld %ld %ld", &before, &after, &presets, &outcome);
    char line[300];
    std::snprintf(line, sizeof line,
                  "F5 100,000 presets (%zu-byte file): %ld bytes of resident memory each (loaded in a fresh process); "
                  "5,000 presets %ld KiB; loading under a 16 MiB address-space margin: %s",
                  bytes, perPreset, fiveThousand,
                  outcome == 1   ? "refused, nothing saved"
                  : outcome == 0 ? "loaded (no failure met)"
                  : outcome == 2 ? "no limit could be set"
                                 : "the loading process ENDED");
    Report(perPreset > 0 && perPreset < 1500 && outcome >= 0, line);
}

} // namespace

int LoadResident(const std::string& path, bool limited)
{
    const long before = ResidentKiB();
    int outcome = 0; // loaded; 1 refused with nothing saved; 2 no limit could be set
    if (limited) {
        std::ifstream status("/proc/self/status");
        std::string key;
        long virtualKiB = 0;
        while (status >> key && key != "VmSize:")
            status.ignore(4096, '\n');
        status >> virtualKiB;
        const rlimit limit{static_cast<rlim_t>(virtualKiB + 16 * 1024) * 1024, RLIM_INFINITY};
        outcome = setrlimit(RLIMIT_AS, &limit) == 0 ? 0 : 2;
    }
    FileConfiguration store(path);
    try {
        store.Load();
    } catch (const std::bad_alloc&) {
        outcome = store.SavingRefused() != FileConfiguration::SaveRefusal::None && !store.Save() ? 1 : 3;
    }
    std::printf("%ld %ld %zu %d\n", before, ResidentKiB(), store.Presets().size(), outcome);
    return 0;
}

int SettingsChecks(const std::string& folder)
{
    static CountingLog log;
    System::SetLog(&log);
    Escaping(folder);
    KeptLines(folder);
    LongLines(folder);
    NonNumbers(folder);
    WrittenCanBeRead(folder);
    Duplicates(folder);
    Memory(folder);
    return 0;
}

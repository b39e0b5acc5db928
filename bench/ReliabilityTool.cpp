// Helpers for bench/Reliability.sh, which runs the reliability checks:
//
//   reliability_tool save-once PATH PRESETS BPM        writes the settings file once
//   reliability_tool save-loop PATH PRESETS BPM1 BPM2  saves for ever, the tempo alternating, a
//                                                       line "saved" after each save
//   reliability_tool request SOCKET LINE                one request line, prints the answer
//   reliability_tool settings FOLDER                   the settings file's checks (SettingsReliability.cpp)
//   reliability_tool languages FOLDER                  the language files' and the step sequencer's
//                                                       checks (LanguageAndRhythmReliability.cpp)
//   reliability_tool cycles SOCKET PID CYCLES           start/stop cycles with tempo changes
//                                                       through a running program's socket,
//                                                       with its threads, descriptors and memory
//
// The saves go through the program's own settings store, with PRESETS presets whose
// contents depend only on their number, so that each tempo gives one exact file.
#include "Configuration/FileConfiguration.h"
#include "Platform/Text.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>

namespace {

void Fill(Configuration::FileConfiguration& store, int presets, int bpm)
{
    for (int i = 0; i < presets; ++i) {
        Configuration::ConfigurationData preset;
        char name[32];
        std::snprintf(name, sizeof name, "Preset %05d", i);
        preset.Name = Platform::Text::Utf8ToUtf16(name);
        preset.Description = u"a preset of the reliability run";
        preset.Bpm = 40 + i % 300;
        preset.BeatsPerBar = 2 + i % 50;
        store.AddPreset(preset);
    }
    store.GetData().Bpm = bpm;
}

// One request line on a fresh connection; the answer line, empty when none came in 10 s.
std::string Request(const std::string& socketPath, const std::string& line)
{
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return {};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    std::string answer;
    if (::connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = line + "\n";
        if (::write(descriptor, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            pollfd wait{descriptor, POLLIN, 0};
            char byte = 0;
            while (::poll(&wait, 1, 10000) == 1 && ::read(descriptor, &byte, 1) == 1 && byte != '\n')
                answer += byte;
        }
    }
    ::close(descriptor);
    return answer;
}

struct Usage {
    long threads = 0;
    long descriptors = 0;
    double residentMiB = 0.0;
};

Usage Measure(const std::string& pid)
{
    Usage usage;
    std::ifstream status("/proc/" + pid + "/status");
    std::string key;
    while (status >> key) {
        if (key == "Threads:")
            status >> usage.threads;
        else if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            usage.residentMiB = static_cast<double>(kib) / 1024.0;
        }
    }
    if (DIR* folder = ::opendir(("/proc/" + pid + "/fd").c_str())) {
        while (const dirent* entry = ::readdir(folder))
            usage.descriptors += entry->d_name[0] != '.';
        ::closedir(folder);
    }
    return usage;
}

int Cycles(const std::string& socketPath, const std::string& pid, int cycles)
{
    int failures = 0;
    const auto cycle = [&](int i) {
        failures += Request(socketPath, "startstop") != "1";
        failures += Request(socketPath, "tempo " + std::to_string(60 + i % 200)) != "1";
        failures += Request(socketPath, "startstop") != "1";
    };
    // A few runs first, so that what is made once per program (the synthesizer, its
    // soundfont, the sound server's connection) is in the first figures.
    for (int i = 0; i < 20; ++i)
        cycle(i);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Usage first = Measure(pid);
    for (int i = 0; i < cycles; ++i)
        cycle(i);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Usage last = Measure(pid);
    const double growth = last.residentMiB - first.residentMiB;
    std::printf("%d start/stop cycles with tempo changes: %d failed requests; threads %ld -> %ld, descriptors %ld -> "
                "%ld, resident memory %.1f -> %.1f MiB (%+.1f MiB, %.2f KiB per cycle)\n",
                cycles, failures, first.threads, last.threads, first.descriptors, last.descriptors, first.residentMiB,
                last.residentMiB, growth, growth * 1024.0 / cycles);
    return failures == 0 && last.threads <= first.threads && last.descriptors <= first.descriptors ? 0 : 1;
}

} // namespace

int SettingsChecks(const std::string& folder);
int LoadResident(const std::string& path, bool limited);
int LanguageAndRhythmChecks(const std::string& folder);

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "save-once" && argc == 5) {
        Configuration::FileConfiguration store(argv[2]);
        Fill(store, std::atoi(argv[3]), std::atoi(argv[4]));
        return store.Save() ? 0 : 1;
    }
    if (command == "save-loop" && argc == 6) {
        Configuration::FileConfiguration store(argv[2]);
        Fill(store, std::atoi(argv[3]), std::atoi(argv[4]));
        const int tempos[2] = {std::atoi(argv[4]), std::atoi(argv[5])};
        // A line per finished save, so that the caller can aim its kill inside a later one.
        for (unsigned long i = 0;; ++i) {
            store.GetData().Bpm = tempos[i % 2];
            if (store.Save()) {
                std::fputs("saved\n", stdout);
                std::fflush(stdout);
            }
        }
    }
    if (command == "request" && argc == 4) {
        const std::string answer = Request(argv[2], argv[3]);
        std::printf("%s\n", answer.c_str());
        return answer.empty() ? 1 : 0;
    }
    if (command == "settings" && argc == 3)
        return SettingsChecks(argv[2]);
    if (command == "load-resident" && (argc == 3 || argc == 4)) // for the settings checks: a fresh process
        return LoadResident(argv[2], argc == 4);
    if (command == "languages" && argc == 3)
        return LanguageAndRhythmChecks(argv[2]);
    if (command == "cycles" && argc == 5)
        return Cycles(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: reliability_tool save-once PATH PRESETS BPM | save-loop PATH PRESETS BPM1 BPM2 | "
                         "request SOCKET LINE | cycles SOCKET PID CYCLES | settings FOLDER | languages FOLDER\n");
    return 2;
}

// Scores generated takes with `tolvane --score` and compares the figures with the truth the
// takes were made from; measures the onset detector's placement on the same takes.
//   bench_timing_takes PATH/TO/tolvane [FOLDER]
// Each take: 60 s at 48 kHz, 120 bpm in 4/4 from 1 s on, a stick-on-wood hit at every beat plus its
// offset, white noise at -50 dB, the click leaking in at -6 dB where the take says. Prints one
// line per take; exit status 1 when a figure misses its bound (mean and standard deviation
// within 0.5 ms, each position's bias within 1 ms, every stray counted, every hit placed
// within 1 ms with a mean bias of at most 0.25 ms).
#include "../tests/Timing/TakeSignals.h"

#include "Core/Timing/OnsetDetector.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double Rate = 48000;
constexpr double Beat = 0.5;  // s, 120 bpm
constexpr double Start = 1.0; // s: the grid's first beat (--offset 1000)

struct Case {
    const char* name;
    const char* flags;
    double constantMs;
    double sdMs;
    double mutedRushMs; // in bars 3, 6, 9, ... (--gap 2:1)
    double strayShare;
    float leak;
};

double Field(const std::string& json, const std::string& name)
{
    const std::size_t at = json.find("\"" + name + "\":");
    if (at == std::string::npos)
        return NAN;
    const char* start = json.c_str() + at + name.size() + 3;
    return std::string(start, 4) == "null" ? NAN : std::strtod(start, nullptr);
}

std::vector<double> List(const std::string& json, const std::string& name)
{
    std::vector<double> values;
    std::size_t at = json.find("\"" + name + "\":[");
    if (at == std::string::npos)
        return values;
    at += name.size() + 4;
    while (json[at] != ']') {
        char* end = nullptr;
        values.push_back(json.compare(at, 4, "null") == 0 ? NAN : std::strtod(json.c_str() + at, &end));
        at = json.compare(at, 4, "null") == 0 ? at + 4 : static_cast<std::size_t>(end - json.c_str());
        if (json[at] == ',')
            ++at;
    }
    return values;
}

bool Write(const std::string& path, const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(Rate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_timing_takes PATH/TO/tolvane [FOLDER]\n");
        return 2;
    }
    const std::string tolvane = argv[1];
    const std::string folder = argc > 2 ? argv[2] : "/tmp/tolvane-timing-takes";
    std::system(("mkdir -p '" + folder + "/config'").c_str());

    const Case cases[] = {
        {"constant +12 ms", "", 12, 0, 0, 0, 0},
        {"random, sd 8 ms", "", 0, 8, 0, 0, 0},
        {"rushing 20 ms in muted bars", " --gap 2:1", 0, 3, -20, 0, 0},
        {"5 % strays", "", 4, 5, 0, 0.05, 0},
        {"random sd 8 ms, click leak -6 dB", "", 3, 8, 0, 0, 0.5f},
        {"random sd 8 ms, click leak 0 dB", "", 0, 8, 0, 0, 1.0f},
    };
    const std::vector<float> hit = TakeSignals::Hit(Rate), click = TakeSignals::Click(Rate);
    bool allMet = true;
    std::printf("%-34s %8s %8s %8s %8s %7s %9s %7s %8s %8s\n", "take", "mean", "truth", "sd", "truth", "pos.max",
                "strays", "missed", "place", "bias");
    for (const Case& c : cases) {
        std::mt19937 random(42);
        std::normal_distribution<double> spread(0, c.sdMs);
        std::uniform_real_distribution<double> uniform(0, 1);
        std::vector<float> take(static_cast<std::size_t>(Rate * 60));
        std::vector<double> truthFrames, errors, clicks;
        std::vector<double> perPosition(4, 0.0);
        std::vector<int> perCount(4, 0);
        double mutedSum = 0;
        int muted = 0, strays = 0;
        for (int beat = 0; Start + beat * Beat < 59.5; ++beat) {
            const bool mutedBar = !std::string(c.flags).empty() && (beat / 4) % 3 == 2;
            const double offset = c.constantMs + spread(random) + (mutedBar ? c.mutedRushMs : 0);
            const double frame = std::round((Start + beat * Beat + offset / 1000) * Rate);
            const double error = (frame / Rate - Start - beat * Beat) * 1000;
            truthFrames.push_back(frame);
            errors.push_back(error);
            perPosition[static_cast<std::size_t>(beat % 4)] += error;
            ++perCount[static_cast<std::size_t>(beat % 4)];
            if (mutedBar) {
                mutedSum += error;
                ++muted;
            } else {
                clicks.push_back((Start + beat * Beat) * Rate);
                TakeSignals::Mix(take, click, clicks.back(), 0.5f * c.leak);
            }
            TakeSignals::Mix(take, hit, frame, 0.5f);
            if (uniform(random) < c.strayShare) {
                // Between 35 and 65 % of the way to the next beat: a stray whatever the error.
                TakeSignals::Mix(take, hit, std::round((Start + (beat + 0.35 + 0.3 * uniform(random)) * Beat) * Rate), 0.4f);
                ++strays;
            }
        }
        TakeSignals::AddNoise(take, 0.003f);
        double mean = 0, squares = 0;
        for (double e : errors)
            mean += e;
        mean /= static_cast<double>(errors.size());
        for (double e : errors)
            squares += (e - mean) * (e - mean);
        const double sd = std::sqrt(squares / static_cast<double>(errors.size() - 1));

        std::string path = folder + "/take-" + std::to_string(&c - cases) + ".wav";
        if (!Write(path, take)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 2;
        }
        const std::string command = "XDG_CONFIG_HOME='" + folder + "/config' '" + tolvane + "' --score '" + path
                                    + "' --tempo 120 --beats 4 --offset 1000" + c.flags + " --json";
        std::string json;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
                json += buffer;
            pclose(pipe);
        }
        const std::vector<double> reported = List(json, "per_position_ms");
        double worstPosition = reported.size() == 4 ? 0 : INFINITY;
        for (std::size_t p = 0; p < 4 && reported.size() == 4; ++p)
            worstPosition = std::max(worstPosition, std::abs(reported[p] - perPosition[p] / perCount[p]));

        // The detector alone: each true hit's nearest onset.
        Core::Timing::OnsetOptions options;
        options.rate = Rate;
        options.clickFrames = clicks;
        const std::vector<Core::Timing::Onset> onsets = Core::Timing::DetectOnsets(take, options);
        double worstPlace = 0, bias = 0;
        for (double truth : truthFrames) {
            double nearest = INFINITY;
            for (const auto& onset : onsets)
                if (std::abs(onset.frame - truth) < std::abs(nearest))
                    nearest = onset.frame - truth;
            worstPlace = std::max(worstPlace, std::abs(nearest) * 1000 / Rate);
            bias += nearest * 1000 / Rate;
        }
        bias /= static_cast<double>(truthFrames.size());

        const double reportedMean = Field(json, "mean_ms"), reportedSd = Field(json, "sd_ms");
        const double reportedStrays = Field(json, "strays"), missed = Field(json, "missed");
        bool met = std::abs(reportedMean - mean) <= 0.5 && std::abs(reportedSd - sd) <= 0.5 && worstPosition <= 1.0
                   && reportedStrays == strays && missed == 0 && worstPlace <= 1.0 && std::abs(bias) <= 0.25;
        if (muted > 0) {
            const double mutedReported = Field(json, "muted_mean_ms");
            met = met && std::abs(mutedReported - mutedSum / muted) <= 0.5;
            std::printf("%-34s muted bars: reported %.2f ms, truth %.2f ms\n", "", mutedReported, mutedSum / muted);
        }
        std::printf("%-34s %8.2f %8.2f %8.2f %8.2f %7.2f %4.0f/%-4d %7.0f %8.3f %8.3f %s\n", c.name, reportedMean, mean,
                    reportedSd, sd, worstPosition, reportedStrays, strays, missed, worstPlace, bias, met ? "met" : "MISSED");
        allMet = allMet && met;
    }
    return allMet ? 0 : 1;
}

#include "Diary/Csv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace Diary {

namespace {

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

template <typename T>
std::string Optional(const std::optional<T>& value)
{
    if (!value)
        return {};
    if constexpr (std::is_floating_point_v<T>)
        return Number(*value);
    else
        return std::to_string(*value);
}

std::string Quoted(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

std::string IsoTime(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local {};
    localtime_r(&time, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(text) + zone;
}

std::string CsvText(const std::vector<Session>& sessions)
{
    std::string out = "start,end,seconds_playing,name,tempo_start,tempo_min,tempo_max,trainer_from,trainer_to,"
                      "trainer_level,count_in,gap_mode,gap_play,gap_mute,gap_percent,swing,mean_ms,sd_ms,"
                      "muted_mean_ms,muted_sd_ms,hits\r\n";
    for (const Session& s : sessions) {
        const std::string fields[] = {
            IsoTime(s.start), IsoTime(s.end), Number(s.secondsPlaying), Quoted(s.name),
            std::to_string(s.tempoStart), std::to_string(s.tempoMin), std::to_string(s.tempoMax),
            Optional(s.trainerFrom), Optional(s.trainerTo), Optional(s.trainerLevel), std::to_string(s.countIn),
            std::to_string(s.gapMode), std::to_string(s.gapPlay), std::to_string(s.gapMute),
            std::to_string(s.gapPercent), Number(s.swing), Optional(s.meanMs), Optional(s.sdMs),
            Optional(s.mutedMeanMs), Optional(s.mutedSdMs), Optional(s.hits),
        };
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0)
                out += ',';
            out += fields[i];
        }
        out += "\r\n";
    }
    return out;
}

bool WriteCsv(const std::vector<Session>& sessions, const std::string& path, std::string& problem)
{
    const std::string text = CsvText(sessions);
    const bool standardOutput = path == "-";
    std::FILE* file = standardOutput ? stdout : std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        problem = path + ": " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = (standardOutput ? std::fflush(file) : std::fclose(file)) == 0 && written;
    if (!written)
        problem = path + ": " + std::strerror(errno);
    return written;
}

} // namespace Diary

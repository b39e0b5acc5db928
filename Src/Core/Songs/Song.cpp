#include "Core/Songs/Song.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace Core {

namespace {

constexpr std::string_view ExtrasMark = "#tolvane:";
constexpr std::int32_t MaxBars = 9999;
constexpr std::int32_t MaxBeats = 64;
constexpr double MinTempo = 1;
constexpr double MaxTempo = 1000;
constexpr double MaxVolume = 10;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitBlanks(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        std::size_t end = at;
        bool quoted = false;
        while (end < text.size() && (quoted || !IsBlank(text[end]))) {
            if (text[end] == '"')
                quoted = !quoted;
            ++end;
        }
        if (end > at)
            words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

bool ReadInt(std::string_view text, std::int32_t& value)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// klick's numbers: digits with an optional point, or a point and digits; no sign, no exponent.
bool ReadNumber(std::string_view text, double& value)
{
    const std::size_t point = text.find('.');
    const std::size_t digits = text.size() - (point == std::string_view::npos ? 0 : 1);
    if (digits == 0 || text.find_first_not_of("0123456789.") != std::string_view::npos
        || (point != std::string_view::npos && text.find('.', point + 1) != std::string_view::npos))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string Number(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool IsPattern(std::string_view word)
{
    return !word.empty() && word.find_first_not_of("Xx.") == std::string_view::npos;
}

bool IsLabel(std::string_view word)
{
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
    });
}

bool ValidGroups(std::string_view text, std::int32_t beats)
{
    std::int32_t total = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t plus = std::min(text.find('+', at), text.size());
        std::int32_t group = 0;
        if (!ReadInt(text.substr(at, plus - at), group) || group < 1)
            return false;
        total += group;
        at = plus + 1;
    }
    return total == beats;
}

std::string Unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Applies the "#tolvane:" words of a part line; false with a message for a value out of range.
bool ApplyPartExtras(std::string_view extras, SongPart& part, PartProblem& problem)
{
    for (const std::string_view word : SplitBlanks(extras)) {
        const std::size_t equals = word.find('=');
        const std::string_view key = word.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
        bool ok = true;
        if (key == "endless" && equals == std::string_view::npos) {
            part.endless = true;
        } else if (key == "compound" && equals == std::string_view::npos) {
            part.compound = true;
        } else if (key == "groups") {
            part.groups = std::string(value);
            ok = ValidGroups(value, part.beats);
        } else if (key == "subdivision") {
            ok = ReadInt(value, part.subdivision) && part.subdivision >= 0 && part.subdivision <= 8;
        } else if (key == "swing") {
            ok = ReadNumber(value, part.swing) && part.swing >= 50 && part.swing <= 75;
        } else if (key == "gap") {
            const std::size_t colon = value.find(':');
            ok = colon != std::string_view::npos && ReadInt(value.substr(0, colon), part.gapPlay)
                 && ReadInt(value.substr(colon + 1), part.gapMute) && part.gapPlay >= 1 && part.gapPlay <= 16
                 && part.gapMute >= 1 && part.gapMute <= 16;
        } else if (key == "preset") {
            part.preset = Unquoted(value);
        } else {
            part.otherExtras += part.otherExtras.empty() ? "" : " ";
            part.otherExtras += word;
        }
        if (!ok) {
            problem = {PartProblem::Kind::ExtraOutOfRange, "#tolvane: " + std::string(word), {}};
            return false;
        }
    }
    if (part.compound && (part.beats % 3 != 0 || part.beats < 6)) {
        problem = {PartProblem::Kind::CompoundBeats, "#tolvane:", {}};
        return false;
    }
    return true;
}

void ApplySongExtras(std::string_view extras, Song& song)
{
    for (const std::string_view word : SplitBlanks(extras)) {
        if (word == "count-in=0" || word == "count-in=1" || word == "count-in=2" || word == "count-in=4")
            song.countIn = word.back() - '0';
        else if (word == "count-in=2b")
            song.countIn = 5;
        else if (word == "ending=stop" || word == "ending=loop" || word == "ending=next")
            song.ending = word[7] == 's' ? SongEnding::Stop : word[7] == 'l' ? SongEnding::Loop : SongEnding::Next;
        else
            song.otherExtras += (song.otherExtras.empty() ? "" : " ") + std::string(word);
    }
}

// Splits a line into its tempo-map content, its own comment (without "#") and its "#tolvane:"
// words; hasExtras tells whether the mark was there.
void SplitLine(std::string_view line, std::string_view& content, std::string_view& comment, std::string_view& extras,
               bool& hasExtras)
{
    const std::size_t mark = line.find(ExtrasMark);
    hasExtras = mark != std::string_view::npos;
    extras = hasExtras ? Trim(line.substr(mark + ExtrasMark.size())) : std::string_view();
    const std::string_view before = line.substr(0, hasExtras ? mark : line.size());
    const std::size_t hash = before.find('#');
    content = Trim(before.substr(0, hash));
    comment = hash == std::string_view::npos ? std::string_view() : Trim(before.substr(hash + 1));
}

} // namespace

BeatLevel SongPart::LevelOf(std::int32_t beat) const
{
    if (!pattern.empty()) {
        const char c = pattern[static_cast<std::size_t>(beat) % pattern.size()];
        return c == '.' ? BeatLevel::Silent : c == 'x' ? BeatLevel::Plain : beat == 0 ? BeatLevel::BarStart : BeatLevel::Accent;
    }
    if (beat == 0)
        return BeatLevel::BarStart;
    if (!groups.empty()) {
        std::int32_t start = 0;
        for (std::size_t at = 0; at < groups.size() && start < beat;) {
            start += std::atoi(groups.c_str() + at);
            at = std::min(groups.find('+', at), groups.size()) + 1;
            if (start == beat)
                return BeatLevel::Accent;
        }
        return BeatLevel::Plain;
    }
    return compound && beat % 3 == 0 ? BeatLevel::Accent : BeatLevel::Plain;
}

std::int32_t SongPart::VoiceOf(BeatLevel level) const
{
    switch (level) {
    case BeatLevel::BarStart: return 0;
    case BeatLevel::Accent: return 2;
    default: return compound ? 3 : 1;
    }
}

double SongPart::TempoAt(std::int64_t beat) const
{
    if (!tempi.empty())
        return tempi[static_cast<std::size_t>(std::clamp<std::int64_t>(beat, 0, static_cast<std::int64_t>(tempi.size()) - 1))];
    if (tempo2 <= 0)
        return tempo;
    const double total = static_cast<double>(bars) * beats;
    return tempo + (tempo2 - tempo) * std::min(static_cast<double>(beat), total) / total;
}

double SongPart::SecondsTo(std::int64_t beat, double scale) const
{
    const double perQuarterTempo = 240.0 / denominator / scale; // a beat's seconds at tempo 1
    if (!tempi.empty()) {
        double seconds = 0;
        const auto end = static_cast<std::size_t>(std::clamp<std::int64_t>(beat, 0, static_cast<std::int64_t>(tempi.size())));
        for (std::size_t k = 0; k < end; ++k)
            seconds += perQuarterTempo / tempi[k];
        return seconds;
    }
    if (tempo2 <= 0 || tempo2 == tempo)
        return static_cast<double>(beat) * perQuarterTempo / tempo;
    // The tempo moves linearly in beats, t(x) = t1 + (t2 - t1) x / N; a beat's time is the
    // integral of 1/t over it: N / (t2 - t1) x ln(t(x) / t1), with log1p for a small change.
    const double total = static_cast<double>(bars) * beats;
    const double x = std::min(static_cast<double>(beat), total);
    const double rise = tempo2 - tempo;
    double seconds = perQuarterTempo * total / rise * std::log1p(rise * x / (total * tempo));
    if (static_cast<double>(beat) > total)
        seconds += (static_cast<double>(beat) - total) * perQuarterTempo / tempo2;
    return seconds;
}

std::vector<const SongPart*> Song::Parts() const
{
    std::vector<const SongPart*> parts;
    for (const SongLine& line : lines)
        if (line.isPart)
            parts.push_back(&line.part);
    return parts;
}

std::int32_t Song::FindLabel(const std::string& label) const
{
    const std::vector<const SongPart*> parts = Parts();
    for (std::size_t k = 0; k < parts.size(); ++k)
        if (parts[k]->label == label)
            return static_cast<std::int32_t>(k);
    return -1;
}

std::vector<std::string> Song::Problems() const
{
    std::vector<std::string> problems;
    for (const SongLine& line : lines)
        if (!line.isPart && !line.problem.Empty())
            problems.push_back("line " + std::to_string(line.number) + ": " + line.problem.English());
    return problems;
}

bool ParsePart(const std::string& line, SongPart& part, PartProblem& problem)
{
    part = SongPart{};
    problem = PartProblem{};
    std::string_view content, comment, extras;
    bool hasExtras = false;
    SplitLine(line, content, comment, extras, hasExtras);
    part.comment = std::string(comment);

    // A label may be written against its bars ("intro:8").
    std::vector<std::string_view> words = SplitBlanks(content);
    if (!words.empty()) {
        if (const std::size_t colon = words[0].find(':'); colon != std::string_view::npos) {
            const std::string_view label = words[0].substr(0, colon);
            const std::string_view rest = words[0].substr(colon + 1);
            if (!IsLabel(label)) {
                problem = {PartProblem::Kind::Label, {}, {}};
                return false;
            }
            part.label = std::string(label);
            if (rest.empty())
                words.erase(words.begin());
            else
                words[0] = rest;
        }
    }
    std::size_t at = 0;
    const auto next = [&]() -> std::string_view { return at < words.size() ? words[at] : std::string_view(); };
    if (!ReadInt(next(), part.bars) || part.bars > MaxBars) {
        problem = {next().empty() ? PartProblem::Kind::BarsMissing : PartProblem::Kind::Bars, {}, {}};
        return false;
    }
    ++at;
    if (part.bars == 0) {
        part.endless = true; // klick refuses 0; Tolvane reads it as a part without end
        part.bars = 1;
    }
    if (const std::string_view meter = next(); meter.find('/') != std::string_view::npos) {
        const std::size_t slash = meter.find('/');
        if (!ReadInt(meter.substr(0, slash), part.beats) || !ReadInt(meter.substr(slash + 1), part.denominator)
            || part.beats < 1 || part.beats > MaxBeats || part.denominator < 1 || part.denominator > 32
            || (part.denominator & (part.denominator - 1)) != 0) {
            problem = {PartProblem::Kind::Metre, {}, {}};
            return false;
        }
        ++at;
    }
    const std::string_view tempoWord = next();
    if (tempoWord.empty()) {
        problem = {PartProblem::Kind::TempoMissing, {}, {}};
        return false;
    }
    ++at;
    const std::size_t dash = tempoWord.find('-');
    const std::size_t comma = tempoWord.find(',');
    bool tempoOk = true;
    if (dash != std::string_view::npos) {
        tempoOk = ReadNumber(tempoWord.substr(0, dash), part.tempo) && ReadNumber(tempoWord.substr(dash + 1), part.tempo2)
                  && part.tempo2 >= MinTempo && part.tempo2 <= MaxTempo;
    } else if (comma != std::string_view::npos) {
        std::size_t start = 0;
        while (tempoOk && start <= tempoWord.size()) {
            const std::size_t end = std::min(tempoWord.find(',', start), tempoWord.size());
            double value = 0;
            tempoOk = ReadNumber(tempoWord.substr(start, end - start), value) && value >= MinTempo && value <= MaxTempo;
            part.tempi.push_back(value);
            start = end + 1;
        }
        part.tempo = part.tempi.empty() ? 0 : part.tempi[0];
    } else {
        tempoOk = ReadNumber(tempoWord, part.tempo);
    }
    if (!tempoOk || part.tempo < MinTempo || part.tempo > MaxTempo) {
        problem = {PartProblem::Kind::Tempo, {}, {}};
        return false;
    }
    if (IsPattern(next())) {
        part.pattern = std::string(next());
        ++at;
        if (static_cast<std::int32_t>(part.pattern.size()) != part.beats) {
            problem = {PartProblem::Kind::PatternLength, std::to_string(part.pattern.size()),
                       std::to_string(part.beats)};
            return false;
        }
    }
    if (!next().empty()) {
        if (!ReadNumber(next(), part.volume)) {
            problem = {PartProblem::Kind::NotPatternOrVolume, std::string(next()), {}};
            return false;
        }
        if (part.volume > MaxVolume) {
            problem = {PartProblem::Kind::Volume, {}, {}};
            return false;
        }
        ++at;
    }
    if (at < words.size()) {
        problem = {PartProblem::Kind::Unexpected, std::string(words[at]), {}};
        return false;
    }
    if (hasExtras && !ApplyPartExtras(extras, part, problem))
        return false;
    if (!part.tempi.empty() && static_cast<std::int64_t>(part.tempi.size()) != static_cast<std::int64_t>(part.bars) * part.beats) {
        problem = {PartProblem::Kind::TempoCount, std::to_string(part.tempi.size()), std::to_string(part.bars * part.beats)};
        return false;
    }
    if (part.endless && part.ChangesTempo()) {
        problem = {PartProblem::Kind::EndlessChange, {}, {}};
        return false;
    }
    return true;
}

const char* PartProblemMessage(PartProblem::Kind kind) noexcept
{
    // In the order of PartProblem::Kind; the windows' translations keep the same order. A
    // "#tolvane:" mark is always one of the words: a language file cannot hold "#".
    constexpr const char* messages[PartProblem::KindCount] = {
        "",
        "the label may hold only letters, digits, _ and -",
        "the number of bars is missing",
        "the number of bars must be 0 to 9999",
        "the metre must be 1 to 64 beats of a 1, 2, 4, 8, 16 or 32 note, such as 7/8",
        "the tempo is missing",
        "the tempo must be 1 to 1000 quarter notes a minute (a-b for a change, a,b,... for one a beat)",
        "the pattern has %1 beats, the bar %2",
        "\"%1\" is neither a pattern (X, x, .) nor a volume",
        "the volume must be 0 to 10",
        "unexpected \"%1\" after the part",
        "%1 is out of range",
        "%1 compound needs 6, 9, 12 ... beats",
        "%1 tempos for %2 beats",
        "a part without end cannot change its tempo",
    };
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(messages) ? messages[index] : "";
}

std::string PartProblem::English() const
{
    std::string text;
    for (const char* c = PartProblemMessage(kind); *c != '\0'; ++c) {
        if (c[0] == '%' && (c[1] == '1' || c[1] == '2')) {
            text += c[1] == '1' ? first : second;
            ++c;
        } else {
            text += *c;
        }
    }
    return text;
}

std::string FormatPart(const SongPart& part)
{
    std::string line;
    if (!part.label.empty())
        line += part.label + ": ";
    line += std::to_string(part.bars);
    if (part.beats != 4 || part.denominator != 4)
        line += " " + std::to_string(part.beats) + "/" + std::to_string(part.denominator);
    line += " ";
    if (!part.tempi.empty()) {
        for (std::size_t k = 0; k < part.tempi.size(); ++k)
            line += (k == 0 ? "" : ",") + Number(part.tempi[k]);
    } else {
        line += Number(part.tempo);
        if (part.tempo2 > 0)
            line += "-" + Number(part.tempo2);
    }
    if (!part.pattern.empty())
        line += " " + part.pattern;
    if (part.volume != 1.0)
        line += " " + Number(part.volume);
    if (!part.comment.empty())
        line += "  # " + part.comment;
    std::string extras;
    const auto add = [&extras](const std::string& word) { extras += (extras.empty() ? "" : " ") + word; };
    if (part.endless)
        add("endless");
    if (part.compound)
        add("compound");
    if (!part.groups.empty())
        add("groups=" + part.groups);
    if (part.subdivision > 1)
        add("subdivision=" + std::to_string(part.subdivision));
    if (part.swing != 50)
        add("swing=" + Number(part.swing));
    if (part.gapPlay > 0)
        add("gap=" + std::to_string(part.gapPlay) + ":" + std::to_string(part.gapMute));
    if (!part.preset.empty())
        add(part.preset.find(' ') == std::string::npos ? "preset=" + part.preset : "preset=\"" + part.preset + "\"");
    if (!part.otherExtras.empty())
        add(part.otherExtras);
    if (!extras.empty())
        line += "  #tolvane: " + extras;
    return line;
}

Song ParseSong(const std::string& bytes, const std::string& name)
{
    Song song;
    song.name = name;
    std::size_t at = 0;
    std::int32_t number = 0;
    while (at < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
        std::string text = bytes.substr(at, end - at);
        at = end + 1;
        ++number;
        while (!text.empty() && text.back() == '\r')
            text.pop_back(); // a saved file ends its lines with "\n" alone
        std::string_view content, comment, extras;
        bool hasExtras = false;
        SplitLine(text, content, comment, extras, hasExtras);
        SongLine line;
        line.number = number;
        if (content.empty() && hasExtras && comment.empty()) {
            ApplySongExtras(extras, song); // written again at the top
            continue;
        }
        if (content.empty()) {
            line.text = text;
        } else if (ParsePart(text, line.part, line.problem)) {
            line.isPart = true;
            line.text = text; // written as it was while the part stays the same
        } else {
            line.text = text;
            line.part = SongPart{};
        }
        song.lines.push_back(std::move(line));
    }
    return song;
}

std::string FormatSong(const Song& song)
{
    std::string bytes;
    std::string extras;
    if (song.countIn != 0)
        extras += song.countIn == 5 ? " count-in=2b" : " count-in=" + std::to_string(song.countIn);
    if (song.ending != SongEnding::Stop)
        extras += song.ending == SongEnding::Loop ? " ending=loop" : " ending=next";
    if (!song.otherExtras.empty())
        extras += " " + song.otherExtras;
    if (!extras.empty())
        bytes += "#tolvane:" + extras + "\n";
    for (const SongLine& line : song.lines) {
        if (line.isPart) {
            SongPart original;
            PartProblem problem;
            const bool unchanged = !line.text.empty() && ParsePart(line.text, original, problem) && original == line.part;
            bytes += unchanged ? line.text : FormatPart(line.part);
        } else {
            bytes += line.text;
        }
        bytes += '\n';
    }
    return bytes;
}

} // namespace Core

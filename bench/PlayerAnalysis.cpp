#include "PlayerAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace Player {

std::vector<std::size_t> FindOnsets(const std::vector<float>& stereo, std::size_t minSpacing)
{
    std::vector<std::size_t> onsets;
    const std::size_t frames = stereo.size() / 2;
    std::size_t frame = 0;
    while (frame < frames) {
        if (stereo[2 * frame] != 0.0f || stereo[2 * frame + 1] != 0.0f) {
            onsets.push_back(frame);
            frame += minSpacing;
        } else {
            ++frame;
        }
    }
    return onsets;
}

std::vector<std::size_t> FindOverlappingOnsets(const std::vector<float>& stereo, double periodFrames)
{
    constexpr std::size_t length = 256; // frames of the first click's attack used as the template
    // How far from one period on a click is looked for: more than a JACK period (256 frames),
    // so that a jump of the recording by a whole cycle is measured instead of losing the clicks
    // (with 48, one such jump sent every later match astray: fewer clicks, a grid fit tens of
    // samples off and the first click's peak seemingly 1.5 times the median's).
    constexpr long reach = 320;
    std::vector<std::size_t> onsets;
    const std::size_t frames = stereo.size() / 2;
    std::size_t first = 0;
    while (first < frames && stereo[2 * first] == 0.0f && stereo[2 * first + 1] == 0.0f)
        ++first;
    if (first + length >= frames)
        return onsets;
    const auto match = [&](std::size_t at) {
        double sum = 0.0;
        for (std::size_t i = 0; i < 2 * length; ++i)
            sum += static_cast<double>(stereo[2 * first + i]) * stereo[2 * at + i];
        return sum;
    };
    onsets.push_back(first);
    double typical = 0.0; // running mean of the matches found so far
    for (;;) {
        const long centre = std::lround(static_cast<double>(onsets.back()) + periodFrames);
        if (static_cast<std::size_t>(centre + reach) + length >= frames)
            break;
        double best = -1e30;
        long bestAt = centre;
        bool sound = false;
        for (std::size_t i = 2 * static_cast<std::size_t>(centre - reach); i < 2 * static_cast<std::size_t>(centre + reach + static_cast<long>(length)); ++i)
            sound = sound || stereo[i] != 0.0f;
        if (!sound)
            break; // the clicks have ended
        for (long at = centre - reach; at <= centre + reach; ++at) {
            const double value = match(static_cast<std::size_t>(at));
            if (value > best) {
                best = value;
                bestAt = at;
            }
        }
        if (onsets.size() > 3 && best < 0.2 * typical)
            break; // only a click's decay is left
        typical += (best - typical) / static_cast<double>(onsets.size());
        onsets.push_back(static_cast<std::size_t>(bestAt));
    }
    return onsets;
}

namespace {

float PeakAt(const std::vector<float>& stereo, std::size_t frame, std::size_t frames)
{
    float peak = 0.0f;
    for (std::size_t i = 2 * frame; i < 2 * (frame + frames) && i < stereo.size(); ++i)
        peak = std::max(peak, std::fabs(stereo[i]));
    return peak;
}

} // namespace

ClickFigures MeasureClicks(const std::vector<float>& stereo, double periodFrames)
{
    ClickFigures figures;
    figures.periodFrames = periodFrames;
    // A click's own decay must not count as the next onset; clicks closer than 200 ms
    // overlap, and are found by their attack instead.
    const std::vector<std::size_t> onsets = periodFrames < 8820.0
                                                ? FindOverlappingOnsets(stereo, periodFrames)
                                                : FindOnsets(stereo, static_cast<std::size_t>(periodFrames * 0.75));
    figures.clicks = onsets.size();
    if (onsets.size() < 3)
        return figures;

    // Grid offset with the spacing fixed: the mean of onset - k * period.
    const double n = static_cast<double>(onsets.size());
    double offset = 0.0;
    for (std::size_t k = 0; k < onsets.size(); ++k)
        offset += static_cast<double>(onsets[k]) - static_cast<double>(k) * periodFrames;
    offset /= n;

    std::vector<double> errors;
    for (std::size_t k = 0; k < onsets.size(); ++k)
        errors.push_back(std::fabs(static_cast<double>(onsets[k]) - (offset + static_cast<double>(k) * periodFrames)));
    figures.firstErrorFrames = static_cast<double>(onsets[0]) - offset;
    std::vector<double> sorted = errors;
    std::sort(sorted.begin(), sorted.end());
    figures.maxErrorFrames = sorted.back();
    figures.p99ErrorFrames = sorted[static_cast<std::size_t>(0.99 * (n - 1))];

    // Free least-squares slope against the exact spacing.
    double meanK = (n - 1) / 2.0;
    double meanOnset = 0.0;
    for (std::size_t onset : onsets)
        meanOnset += static_cast<double>(onset);
    meanOnset /= n;
    double covariance = 0.0;
    double variance = 0.0;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const double dk = static_cast<double>(k) - meanK;
        covariance += dk * (static_cast<double>(onsets[k]) - meanOnset);
        variance += dk * dk;
    }
    figures.driftPpm = (covariance / variance - periodFrames) / periodFrames * 1e6;
    for (std::size_t k = 1; k < onsets.size(); ++k) {
        const double gap = static_cast<double>(onsets[k] - onsets[k - 1]);
        figures.maxSpacingError = std::max(figures.maxSpacingError, std::fabs(gap - periodFrames));
    }

    // Is the first click whole? Compare its peak with the median click's.
    const auto window = static_cast<std::size_t>(std::min(periodFrames / 2, 2000.0));
    std::vector<float> peaks;
    for (std::size_t k = 1; k < onsets.size(); ++k)
        peaks.push_back(PeakAt(stereo, onsets[k], window));
    std::nth_element(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(peaks.size() / 2), peaks.end());
    const float median = peaks[peaks.size() / 2];
    figures.firstPeakRatio = median > 0.0f ? PeakAt(stereo, onsets[0], window) / median : 0.0;
    const std::size_t attack = std::min<std::size_t>(window, 256);
    const float second = PeakAt(stereo, onsets[1], attack);
    double difference = 0.0;
    for (std::size_t i = 0; i < 2 * attack && 2 * onsets[1] + i < stereo.size(); ++i)
        difference = std::max(difference, static_cast<double>(std::fabs(stereo[2 * onsets[0] + i] - stereo[2 * onsets[1] + i])));
    figures.firstShapeDifference = second > 0.0f ? difference / second : 0.0;
    return figures;
}

PracticeFigures MeasurePractice(const std::vector<float>& stereo, double beatFrames, int countInBeats, int play, int mute,
                                double swingRatio)
{
    PracticeFigures figures;
    // The count-in's sound need not die away to digital silence before the next click: an onset
    // is the first frame above -40 dBFS at least 0.15 beats after the previous one. Clicks of one
    // sound and loudness cross that level at the same offset into their attack.
    std::vector<std::size_t> onsets;
    const std::size_t total = stereo.size() / 2;
    for (std::size_t frame = 0; frame < total;) {
        if (std::fabs(stereo[2 * frame]) > 0.01f || std::fabs(stereo[2 * frame + 1]) > 0.01f) {
            onsets.push_back(frame);
            frame += static_cast<std::size_t>(beatFrames * 0.15);
        } else {
            ++frame;
        }
    }
    if (onsets.size() <= static_cast<std::size_t>(countInBeats))
        return figures;
    const auto countIn = static_cast<std::size_t>(countInBeats);
    figures.countInClicks = countIn;
    // Against the first click of the same loudness: each bar's first beat is accented.
    for (std::size_t k = 0; k < countIn; ++k) {
        const std::size_t reference = k % 4 == 0 ? 0 : 1;
        figures.countInMaxErrorFrames
            = std::max(figures.countInMaxErrorFrames, std::fabs(static_cast<double>(onsets[k]) - static_cast<double>(onsets[reference])
                                                                - static_cast<double>(k - reference) * beatFrames));
    }
    const double first = static_cast<double>(onsets[countIn]);
    if (countIn > 0)
        figures.countInToBarFrames = first - static_cast<double>(onsets[countIn - 1]) - beatFrames;

    const double frames = static_cast<double>(stereo.size() / 2);
    const double barFrames = 4.0 * beatFrames;
    std::vector<double> expected;
    for (int bar = 0; first + (bar + 1) * barFrames < frames; ++bar) {
        const double start = first + bar * barFrames;
        if (bar % (play + mute) >= play) {
            ++figures.mutedBars;
            // Up to 32 frames before the next bar: its first click's attack begins a few frames
            // before its onset, which is where it crosses -40 dBFS.
            const float peak
                = PeakAt(stereo, static_cast<std::size_t>(std::ceil(start)), static_cast<std::size_t>(barFrames) - 32);
            figures.mutedPeakDbfs = std::max(figures.mutedPeakDbfs, peak > 0.0f ? 20.0 * std::log10(peak) : -200.0);
            continue;
        }
        for (int beat = 0; beat < 4; ++beat) {
            expected.push_back(start + beat * beatFrames);
            expected.push_back(start + (beat + swingRatio) * beatFrames);
        }
    }
    figures.expectedClicks = expected.size();
    std::vector<bool> found(expected.size(), false);
    for (std::size_t k = countIn; k < onsets.size(); ++k) {
        const auto onset = static_cast<double>(onsets[k]);
        if (!expected.empty() && onset > expected.back() + beatFrames)
            break; // past the last whole bar
        ++figures.clicks;
        const auto nearest = std::min_element(expected.begin(), expected.end(), [onset](double a, double b) {
            return std::fabs(a - onset) < std::fabs(b - onset);
        });
        const double error = nearest == expected.end() ? 1e9 : std::fabs(*nearest - onset);
        if (error > 2.0) {
            ++figures.unexpectedClicks;
            continue;
        }
        found[static_cast<std::size_t>(nearest - expected.begin())] = true;
        figures.maxErrorFrames = std::max(figures.maxErrorFrames, error);
    }
    figures.missingClicks = expected.size() - static_cast<std::size_t>(std::count(found.begin(), found.end(), true));
    return figures;
}

TempoChangeFigures MeasureTempoChange(const std::vector<float>& stereo, double periodBefore, double periodAfter)
{
    TempoChangeFigures figures;
    const std::vector<std::size_t> onsets
        = FindOnsets(stereo, static_cast<std::size_t>(std::min(periodBefore, periodAfter) * 0.75));
    figures.clicks = onsets.size();
    bool after = false;
    std::size_t firstAfter = 0;
    for (std::size_t k = 1; k < onsets.size(); ++k) {
        const double interval = static_cast<double>(onsets[k] - onsets[k - 1]);
        const bool nearerAfter = std::fabs(interval - periodAfter) < std::fabs(interval - periodBefore);
        if (nearerAfter != after) {
            ++figures.changes;
            after = nearerAfter;
            if (after && firstAfter == 0) {
                firstAfter = k;
                figures.firstNewInterval = interval;
            }
        }
        figures.maxOffFrames = std::max(figures.maxOffFrames, std::fabs(interval - (after ? periodAfter : periodBefore)));
    }
    if (firstAfter > 1) {
        const double before = static_cast<double>(onsets[firstAfter - 1] - onsets[0]) / static_cast<double>(firstAfter - 1);
        figures.driftBeforePpm = (before - periodBefore) / periodBefore * 1e6;
    }
    if (firstAfter > 0 && onsets.size() - firstAfter > 1) {
        const double span = static_cast<double>(onsets.back() - onsets[firstAfter - 1]);
        const double afterMean = span / static_cast<double>(onsets.size() - firstAfter);
        figures.driftAfterPpm = (afterMean - periodAfter) / periodAfter * 1e6;
    }
    return figures;
}

SongFigures MeasureSong(const std::vector<float>& stereo, const std::vector<double>& expectedFrames,
                        const std::vector<int>& groups, const std::vector<bool>& partStarts)
{
    SongFigures figures;
    figures.expected = expectedFrames.size();
    if (expectedFrames.size() < 2)
        return figures;
    double spacing = expectedFrames.back() - expectedFrames.front();
    for (std::size_t k = 1; k < expectedFrames.size(); ++k)
        spacing = std::min(spacing, expectedFrames[k] - expectedFrames[k - 1]);
    // Onsets: the first frame above -40 dBFS at least 0.3 of the least spacing after the
    // previous one, placed between it and the frame before by linear interpolation.
    constexpr float Level = 0.01f;
    const auto loudness = [&stereo](std::size_t frame) {
        return std::max(std::fabs(stereo[2 * frame]), std::fabs(stereo[2 * frame + 1]));
    };
    std::vector<double> onsets;
    const std::size_t total = stereo.size() / 2;
    for (std::size_t frame = 1; frame < total;) {
        const float now = loudness(frame);
        if (now > Level) {
            const float before = loudness(frame - 1);
            onsets.push_back(static_cast<double>(frame - 1) + (Level - before) / (now - before));
            frame += static_cast<std::size_t>(spacing * 0.3) + 1;
        } else {
            ++frame;
        }
    }
    if (onsets.empty())
        return figures;
    const double anchor = onsets.front() - expectedFrames.front();
    std::vector<double> differences(expectedFrames.size(), 0.0);
    std::vector<bool> found(expectedFrames.size(), false);
    std::size_t next = 0;
    for (std::size_t k = 0; k < expectedFrames.size(); ++k) {
        const double wanted = expectedFrames[k] + anchor;
        while (next < onsets.size() && onsets[next] < wanted - spacing / 4)
            ++next;
        if (next < onsets.size() && std::fabs(onsets[next] - wanted) <= spacing / 4) {
            found[k] = true;
            differences[k] = onsets[next] - expectedFrames[k];
            ++figures.found;
            ++next;
        } else {
            figures.missing.push_back(k);
        }
    }
    const double end = expectedFrames.back() + anchor + spacing / 4;
    figures.afterEnd = static_cast<std::size_t>(std::count_if(onsets.begin(), onsets.end(), [end](double onset) { return onset > end; }));
    // Each sound's onset lies its own way into its attack: the reference of a group is the mean
    // of its clicks' differences, so that a click's error is its own (a sound starts on a whole
    // frame, the map's frame has a fraction), not its group's first click's as well.
    std::map<int, std::pair<double, int>> sums;
    for (std::size_t k = 0; k < expectedFrames.size(); ++k) {
        if (found[k]) {
            sums[groups[k]].first += differences[k];
            ++sums[groups[k]].second;
        }
    }
    std::vector<double> errors(expectedFrames.size(), 0.0);
    for (std::size_t k = 0; k < expectedFrames.size(); ++k) {
        if (!found[k])
            continue;
        const auto& sum = sums[groups[k]];
        errors[k] = differences[k] - sum.first / sum.second;
        figures.maxErrorFrames = std::max(figures.maxErrorFrames, std::fabs(errors[k]));
        if (partStarts[k])
            figures.maxPartStartError = std::max(figures.maxPartStartError, std::fabs(errors[k]));
    }
    figures.lengthErrorFrames = errors.back() - errors.front();
    return figures;
}

namespace {

std::vector<float> Mono(const std::vector<float>& stereo)
{
    std::vector<float> mono(stereo.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return mono;
}

std::size_t FirstSound(const std::vector<float>& mono, float threshold)
{
    const auto at = std::find_if(mono.begin(), mono.end(), [threshold](float v) { return std::fabs(v) > threshold; });
    return static_cast<std::size_t>(at - mono.begin());
}

// The lag (within +-reach of around) at which piece best matches signal, refined to a
// fraction of a frame by a parabola through the peak and its neighbours; its correlation.
std::pair<double, double> BestMatch(const std::vector<float>& signal, const float* piece, std::size_t length,
                                    double around, long reach)
{
    double pieceEnergy = 0.0;
    for (std::size_t i = 0; i < length; ++i)
        pieceEnergy += static_cast<double>(piece[i]) * piece[i];
    std::vector<double> scores(static_cast<std::size_t>(2 * reach + 1), -2.0);
    const long centre = std::lround(around);
    for (long lag = -reach; lag <= reach; ++lag) {
        const long start = centre + lag;
        if (start < 0 || static_cast<std::size_t>(start) + length > signal.size())
            continue;
        double product = 0.0, energy = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            const double value = signal[static_cast<std::size_t>(start) + i];
            product += value * piece[i];
            energy += value * value;
        }
        if (energy > 0.0 && pieceEnergy > 0.0)
            scores[static_cast<std::size_t>(lag + reach)] = product / std::sqrt(energy * pieceEnergy);
    }
    const auto best = static_cast<long>(std::max_element(scores.begin(), scores.end()) - scores.begin());
    double fraction = 0.0;
    if (best > 0 && best + 1 < static_cast<long>(scores.size())) {
        const double a = scores[static_cast<std::size_t>(best - 1)], b = scores[static_cast<std::size_t>(best)],
                     c = scores[static_cast<std::size_t>(best + 1)];
        if (a - 2 * b + c < 0.0)
            fraction = 0.5 * (a - c) / (a - 2 * b + c);
    }
    return {static_cast<double>(centre + best - reach) + fraction, scores[static_cast<std::size_t>(best)]};
}

} // namespace

ReferenceFigures MeasureAgainstReference(const std::vector<float>& recording, const std::vector<float>& reference,
                                         double periodFrames, const std::vector<std::vector<float>>& words)
{
    ReferenceFigures figures;
    const std::vector<float> live = Mono(recording);
    const std::vector<float> ref = Mono(reference);
    const std::size_t refStart = FirstSound(ref, 1e-4f);
    const std::size_t liveStart = FirstSound(live, 1e-3f);
    if (refStart >= ref.size() || liveStart >= live.size() || periodFrames < 1.0)
        return figures;
    const std::size_t length = std::min<std::size_t>(4096, static_cast<std::size_t>(periodFrames));
    const long reach = 441; // 10 ms at 44.1 kHz
    const long wordReach = 88; // 2 ms
    double anchor = -1.0, refAnchor = -1.0;
    double sum = 0.0;
    for (std::size_t tick = 0;; ++tick) {
        const double grid = (refAnchor < 0.0 ? static_cast<double>(refStart) : refAnchor) + tick * periodFrames;
        const auto at = static_cast<std::size_t>(std::lround(grid));
        if (at + length + static_cast<std::size_t>(wordReach) > ref.size())
            break;
        double energy = 0.0;
        for (std::size_t i = 0; i < length; ++i)
            energy += static_cast<double>(ref[at + i]) * ref[at + i];
        if (energy < 1e-6)
            continue; // a tick without sound
        // The word of this tick and its place in the reference.
        double place = grid, wordCorrelation = 0.0;
        for (const std::vector<float>& word : words) {
            const std::size_t frames = std::min<std::size_t>({word.size(), length, 2048});
            const auto [where, correlation] = BestMatch(ref, word.data(), frames, grid, wordReach);
            if (correlation > wordCorrelation) {
                wordCorrelation = correlation;
                place = where;
            }
        }
        if (refAnchor < 0.0 && !words.empty()) {
            if (wordCorrelation < 0.9)
                return figures; // the first word not told: nothing to anchor on
            refAnchor = place - tick * periodFrames;
        }
        const double refError = words.empty() ? 0.0 : place - (refAnchor + tick * periodFrames);
        const double expected = anchor < 0.0 ? static_cast<double>(liveStart) : anchor + tick * periodFrames;
        if (expected + static_cast<double>(length + static_cast<std::size_t>(reach)) > static_cast<double>(live.size()))
            break;
        ++figures.ticks;
        if (wordCorrelation >= 0.9) {
            ++figures.told;
            figures.maxReferenceErrorFrames = std::max(figures.maxReferenceErrorFrames, std::fabs(refError));
        }
        // A tick whose sound is no word (a click among the words) is taken from its grid frame.
        const auto from = static_cast<std::size_t>(std::lround(wordCorrelation >= 0.9 ? place : grid));
        const auto [where, correlation] = BestMatch(live, ref.data() + from, length, expected, reach);
        if (correlation < 0.9) {
            figures.errors.push_back(std::nan(""));
            continue;
        }
        if (anchor < 0.0)
            anchor = where - tick * periodFrames;
        const double error = where - (anchor + tick * periodFrames);
        figures.errors.push_back(error);
        ++figures.found;
        sum += error;
        figures.maxErrorFrames = std::max(figures.maxErrorFrames, std::fabs(error));
        figures.leastCorrelation = std::min(figures.leastCorrelation, correlation);
    }
    figures.meanErrorFrames = figures.found > 0 ? sum / static_cast<double>(figures.found) : 0.0;
    return figures;
}

std::vector<float> ReadWav16Stereo(const std::string& path)
{
    std::vector<float> samples = ReadRawS16Stereo(path);
    samples.erase(samples.begin(), samples.begin() + std::min<std::ptrdiff_t>(22, static_cast<std::ptrdiff_t>(samples.size())));
    return samples;
}

std::vector<float> ReadRawS16Stereo(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / 4 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<float>(static_cast<std::int16_t>(low | high << 8)) / 32768.0f;
    }
    return samples;
}

std::vector<float> ReadRawF32Stereo(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / 8 * 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

bool WriteWav(const std::string& path, const std::vector<float>& stereo, std::uint32_t rate)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto put32 = [&out](std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            out.put(static_cast<char>(value >> (8 * i)));
    };
    const auto put16 = [&out](std::uint16_t value) {
        out.put(static_cast<char>(value));
        out.put(static_cast<char>(value >> 8));
    };
    const auto dataBytes = static_cast<std::uint32_t>(stereo.size() * 2);
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(rate);
    put32(rate * 4);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (float sample : stereo)
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f))));
    return static_cast<bool>(out);
}

} // namespace Player

#include "Core/Timing/OnsetDetector.h"

#include <algorithm>
#include <array>
#include <limits>
#include <cmath>
#include <complex>
#include <numbers>

namespace Core::Timing {

namespace {

using Complex = std::complex<float>;

// In-place radix-2 FFT; size a power of two.
void Fft(std::vector<Complex>& data)
{
    const std::size_t n = data.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2.0 * std::numbers::pi / static_cast<double>(length);
        const Complex unit(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)));
        for (std::size_t start = 0; start < n; start += length) {
            Complex w(1.0f, 0.0f);
            for (std::size_t k = 0; k < length / 2; ++k) {
                const Complex u = data[start + k];
                const Complex v = data[start + k + length / 2] * w;
                data[start + k] = u + v;
                data[start + k + length / 2] = u - v;
                w *= unit;
            }
        }
    }
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Spectral flux, one value per hop: the mean rise of the log magnitudes from the frame before.
std::vector<double> SpectralFlux(std::span<const float> samples, std::size_t size, std::size_t hop)
{
    std::vector<double> flux;
    if (samples.size() < size)
        return flux;
    std::vector<float> window(size);
    for (std::size_t i = 0; i < size; ++i)
        window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / size));
    const std::size_t bins = size / 2;
    std::vector<float> previous(bins, 0.0f), current(bins);
    std::vector<Complex> buffer(size);
    const float scale = 4.0f / static_cast<float>(size); // a full-scale sine's bin near 1
    for (std::size_t start = 0; start + size <= samples.size(); start += hop) {
        for (std::size_t i = 0; i < size; ++i)
            buffer[i] = Complex(samples[start + i] * window[i], 0.0f);
        Fft(buffer);
        double rise = 0;
        for (std::size_t k = 1; k < bins; ++k) {
            current[k] = std::log1p(1000.0f * scale * std::abs(buffer[k]));
            rise += std::max(0.0f, current[k] - previous[k]);
        }
        flux.push_back(start == 0 ? 0.0 : rise / static_cast<double>(bins));
        std::swap(previous, current);
    }
    return flux;
}

// The level of the signal's first difference over the `width` frames up to and including n.
class ShortLevel {
public:
    ShortLevel(std::span<const float> samples, std::size_t width) : width_(width) { Assign(samples); }
    /// The level of other samples, in the room already held when there is enough.
    void Assign(std::span<const float> samples)
    {
        sums_.resize(samples.size() + 1);
        sums_[0] = 0.0;
        for (std::size_t n = 0; n < samples.size(); ++n) {
            const double d = n > 0 ? static_cast<double>(samples[n]) - samples[n - 1] : 0.0;
            sums_[n + 1] = sums_[n] + d * d;
        }
    }
    // RMS of the difference over [first, last], frames within the signal.
    double Over(std::size_t first, std::size_t last) const
    {
        return std::sqrt(std::max(0.0, (sums_[last + 1] - sums_[first]) / static_cast<double>(last - first + 1)));
    }
    double At(std::size_t n) const { return Over(n + 1 >= width_ ? n + 1 - width_ : 0, n); }
    std::size_t Size() const { return sums_.size() - 1; }

private:
    std::size_t width_;
    std::vector<double> sums_;
};

bool Place(const ShortLevel& level, double rate, std::size_t from, std::size_t to, Onset& onset)
{
    const std::size_t size = level.Size();
    to = std::min(to, size);
    const auto past = static_cast<std::size_t>(rate * 0.003);
    const auto gap = static_cast<std::size_t>(rate * 0.0005);
    const auto ms2 = static_cast<std::size_t>(rate * 0.002);
    if (std::max(from, past + gap) >= to)
        return false;
    // The attack: where the level rises most above the level of the few milliseconds before it.
    const double floor = 1e-6;
    std::size_t rise = 0;
    double best = 0;
    for (std::size_t n = std::max(from, past + gap); n < to; ++n) {
        const double before = level.Over(n - past - gap, n - gap);
        const double ratio = level.At(n) / (before + floor);
        if (ratio > best) {
            best = ratio;
            rise = n;
        }
    }
    if (best < 3.0)
        return false;
    const double base = level.Over(rise - past - gap, rise - gap);
    double peak = 0;
    for (std::size_t n = rise; n < std::min(size, rise + ms2); ++n)
        peak = std::max(peak, level.At(n));
    // Back to where the level first stands a tenth of the way from what came before to the peak.
    const double threshold = base + 0.1 * (peak - base);
    std::size_t first = rise;
    while (first > past + gap && level.At(first - 1) > threshold)
        --first;
    onset.frame = static_cast<double>(first);
    onset.strength = peak;
    return true;
}

} // namespace

bool PlaceAttack(std::span<const float> samples, double rate, std::size_t from, std::size_t to, Onset& onset)
{
    const ShortLevel level(samples, std::max<std::size_t>(1, static_cast<std::size_t>(rate * 0.0002)));
    return Place(level, rate, from, to, onset);
}

std::vector<Onset> DetectOnsets(std::span<const float> samples, const OnsetOptions& options)
{
    std::size_t size = 64;
    while (static_cast<double>(size) < options.rate * 0.0105)
        size *= 2;
    const std::size_t hop = size / 4;
    const std::vector<double> flux = SpectralFlux(samples, size, hop);

    // The threshold follows the flux's median over a second around each hop, a quarter of the
    // way up to the largest flux there, and never within six median deviations of the median.
    const auto reach = static_cast<std::ptrdiff_t>(options.rate * 0.5 / static_cast<double>(hop));
    const auto hops = static_cast<std::ptrdiff_t>(flux.size());
    const ShortLevel level(samples, std::max<std::size_t>(1, static_cast<std::size_t>(options.rate * 0.0002)));
    std::vector<Onset> onsets;
    std::vector<double> around, deviations;
    for (std::ptrdiff_t t = 2; t + 2 < hops; ++t) {
        const double value = flux[static_cast<std::size_t>(t)];
        bool peak = true;
        for (std::ptrdiff_t k = t - 2; k <= t + 2 && peak; ++k)
            peak = k == t || value > flux[static_cast<std::size_t>(k)] || (k > t && value == flux[static_cast<std::size_t>(k)]);
        if (!peak || value <= 0)
            continue;
        const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, t - reach), last = std::min(hops, t + reach + 1);
        around.assign(flux.begin() + first, flux.begin() + last);
        const double median = Median(around);
        const double largest = *std::max_element(around.begin(), around.end());
        deviations.clear();
        for (double f : around)
            deviations.push_back(std::abs(f - median));
        const double threshold = median + std::max(0.25 * (largest - median), 6.0 * Median(deviations));
        if (value <= threshold)
            continue;
        Onset onset;
        const std::size_t start = static_cast<std::size_t>(t) * hop;
        if (Place(level, options.rate, start > 2 * hop ? start - 2 * hop : 0, start + size, onset)
            && (onsets.empty() || onset.frame - onsets.back().frame > options.rate * 0.003))
            onsets.push_back(onset);
        else if (!onsets.empty() && std::abs(onset.frame - onsets.back().frame) <= options.rate * 0.003)
            onsets.back().strength = std::max(onsets.back().strength, onset.strength);
    }

    // Click leak: onsets at the clicks' frames, unless clearly louder than the clicks usually are.
    if (options.clickFrames.empty() || onsets.empty())
        return onsets;
    const double before = options.maskBeforeMs * options.rate / 1000.0, after = options.maskAfterMs * options.rate / 1000.0;
    const double end = static_cast<double>(samples.size());
    std::size_t clicksInside = 0;
    for (double c : options.clickFrames)
        clicksInside += c < end;
    auto clickWithin = [&](const Onset& onset, double reach) {
        const auto it = std::lower_bound(options.clickFrames.begin(), options.clickFrames.end(), onset.frame - reach);
        return it != options.clickFrames.end() && *it <= onset.frame + before;
    };
    auto atClick = [&](const Onset& onset) { return clickWithin(onset, after); };
    auto inClickSound = [&](const Onset& onset) { return clickWithin(onset, options.clickSoundMs * options.rate / 1000.0); };
    std::vector<double> leaks, hits;
    for (const Onset& onset : onsets)
        (atClick(onset) ? leaks : hits).push_back(onset.strength);
    double limit = 1.8 * options.leakLevel;
    if (options.leakLevel <= 0) {
        if (static_cast<double>(leaks.size()) >= 0.8 * static_cast<double>(clicksInside)) {
            // A microphone that hears every click: hits fall on a click only now and then, so
            // the quietest quarter of what is found at the clicks is the leak alone.
            std::nth_element(leaks.begin(), leaks.begin() + static_cast<std::ptrdiff_t>(leaks.size() / 4), leaks.end());
            limit = 1.8 * leaks[leaks.size() / 4];
        } else if (hits.size() >= 4) {
            // Clicks found only now and then (a hit nearby hides the rest): whatever at a click is
            // far quieter than the hits away from the clicks is the leak.
            limit = 0.4 * Median(hits);
        } else {
            return onsets;
        }
    }
    // A leak found where a hit lies just behind it (or before it) hid that hit: look again
    // beside the click, in the stretch its onset was looked for in.
    std::vector<Onset> kept;
    for (const Onset& onset : onsets) {
        const auto frame = static_cast<std::size_t>(onset.frame);
        const std::size_t reach = size + hop;
        if (!atClick(onset)) {
            if (!inClickSound(onset) || onset.strength >= limit)
                kept.push_back(onset);
            continue;
        }
        if (onset.strength >= limit) {
            // Loud enough for a hit, yet it may have been placed at the click's own attack just
            // before the hit's: the hit's attack, when one follows, is the place.
            Onset later;
            const bool follows = Place(level, options.rate, frame + static_cast<std::size_t>(options.rate * 0.0005),
                                       frame + static_cast<std::size_t>(after), later)
                                 && later.strength >= limit;
            kept.push_back(follows ? later : onset);
            continue;
        }
        const auto afterClick = static_cast<std::size_t>(onset.frame + after + 1);
        Onset hidden;
        if ((Place(level, options.rate, afterClick, frame + reach, hidden) && hidden.strength >= limit)
            || (frame > reach && Place(level, options.rate, frame - reach, static_cast<std::size_t>(std::max(0.0, onset.frame - before)), hidden)
                && hidden.strength >= limit))
            if (kept.empty() || hidden.frame - kept.back().frame > options.rate * 0.003)
                kept.push_back(hidden);
    }
    std::sort(kept.begin(), kept.end(), [](const Onset& a, const Onset& b) { return a.frame < b.frame; });
    kept.erase(std::unique(kept.begin(), kept.end(), [&](const Onset& a, const Onset& b) {
                   return b.frame - a.frame <= options.rate * 0.003;
               }),
               kept.end());
    return kept;
}

struct OnsetStream::State {
    struct ClickMark {
        double frame = 0;
        bool found = false;
        double strength = 0;
    };
    template <std::size_t N>
    struct Recent { // the last N values
        std::array<double, N> values{};
        std::size_t count = 0, next = 0;
        void Add(double value) noexcept
        {
            values[next] = value;
            next = (next + 1) % N;
            count = std::min(count + 1, N);
        }
    };

    double rate;
    double before, after;          // the click's mask, frames
    double sound;                  // the click's sound after its attack, frames
    std::size_t size = 64, hop = 16;
    std::size_t margin = 0;         // frames before a stretch that placing an attack there looks at
    std::vector<float> window;
    std::vector<Complex> buffer;
    std::vector<float> previous, current;
    std::vector<float> ring;        // the last samples, by frame & ringMask
    std::uint64_t ringMask = 0;
    std::uint64_t frames = 0;
    std::vector<double> flux;       // by hop & fluxMask
    std::uint64_t fluxMask = 0;
    std::uint64_t hops = 0;         // hops whose flux is known
    std::uint64_t candidate = 2;    // the next hop to decide on
    std::uint64_t reach = 0;        // hops in a second
    std::vector<double> around, deviations, sorted;
    std::vector<float> linear;
    ShortLevel level;
    std::array<ClickMark, 64> clicks{};
    std::size_t clickFirst = 0, clickCount = 0;
    Recent<16> clickFound;          // 1 for a click with an onset at it, else 0
    Recent<16> leakLevels;          // the strengths of those onsets
    Recent<16> hitLevels;           // of the onsets away from every click
    bool anyFound = false;
    double lastFound = 0;
    bool pending = false; // waiting is found, not decided on yet
    Onset waiting;
    bool anyKept = false;
    double lastKept = 0;
    std::array<Onset, 256> out{};
    std::size_t outFirst = 0, outCount = 0;

    State(double rate_, double beforeMs, double afterMs, double soundMs)
        : rate(rate_), before(beforeMs * rate_ / 1000.0), after(afterMs * rate_ / 1000.0),
          sound(std::max(afterMs, soundMs) * rate_ / 1000.0),
          level({}, std::max<std::size_t>(1, static_cast<std::size_t>(rate_ * 0.0002)))
    {
        while (static_cast<double>(size) < rate * 0.0105)
            size *= 2;
        hop = size / 4;
        margin = static_cast<std::size_t>(rate * 0.0055);
        window.resize(size);
        for (std::size_t i = 0; i < size; ++i)
            window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / size));
        buffer.resize(size);
        previous.assign(size / 2, 0.0f);
        current.assign(size / 2, 0.0f);
        std::size_t ringSize = 1;
        while (static_cast<double>(ringSize) < rate * 2)
            ringSize *= 2;
        ring.assign(ringSize, 0.0f);
        ringMask = ringSize - 1;
        reach = static_cast<std::uint64_t>(rate * 0.5 / static_cast<double>(hop));
        std::size_t fluxSize = 1;
        while (fluxSize < 2 * reach + 64)
            fluxSize *= 2;
        flux.assign(fluxSize, 0.0);
        fluxMask = fluxSize - 1;
        around.reserve(fluxSize);
        deviations.reserve(fluxSize);
        sorted.reserve(16);
        linear.reserve(8 * size);
        level.Assign(std::vector<float>(8 * size)); // its room, once
    }

    float Sample(std::uint64_t frame) const noexcept { return ring[frame & ringMask]; }

    void ComputeHop() noexcept
    {
        const std::uint64_t start = hops * hop;
        for (std::size_t i = 0; i < size; ++i)
            buffer[i] = Complex(Sample(start + i) * window[i], 0.0f);
        Fft(buffer);
        const std::size_t bins = size / 2;
        const float scale = 4.0f / static_cast<float>(size);
        double rise = 0;
        for (std::size_t k = 1; k < bins; ++k) {
            current[k] = std::log1p(1000.0f * scale * std::abs(buffer[k]));
            rise += std::max(0.0f, current[k] - previous[k]);
        }
        flux[hops & fluxMask] = hops == 0 ? 0.0 : rise / static_cast<double>(bins);
        std::swap(previous, current);
        ++hops;
    }

    // Places an attack between the frames from and to, as DetectOnsets does.
    bool PlaceBetween(double fromFrame, double toFrame, Onset& onset) noexcept
    {
        const auto from = static_cast<std::uint64_t>(std::max(0.0, fromFrame));
        const auto to = static_cast<std::uint64_t>(std::max(0.0, toFrame));
        const std::uint64_t oldest = frames > ring.size() ? frames - ring.size() : 0;
        const std::uint64_t first = std::max(oldest, from > margin ? from - margin : 0);
        const std::uint64_t last = std::min<std::uint64_t>(frames, to + static_cast<std::uint64_t>(rate * 0.002) + 1);
        if (to <= from || last <= first || last - first > linear.capacity())
            return false;
        linear.resize(last - first);
        for (std::uint64_t f = first; f < last; ++f)
            linear[f - first] = Sample(f);
        level.Assign(linear);
        if (!Place(level, rate, from - first, to - first, onset))
            return false;
        onset.frame += static_cast<double>(first);
        return true;
    }

    // The click whose attack (reach: after) or sound (reach: sound) frame lies in.
    ClickMark* ClickAt(double frame, double reach) noexcept
    {
        for (std::size_t i = 0; i < clickCount; ++i) {
            ClickMark& click = clicks[(clickFirst + i) % clicks.size()];
            if (click.frame >= frame - reach && click.frame <= frame + before)
                return &click;
        }
        return nullptr;
    }

    void Settle() noexcept
    {
        const ClickMark& click = clicks[clickFirst];
        clickFound.Add(click.found ? 1.0 : 0.0);
        if (click.found)
            leakLevels.Add(click.strength);
        clickFirst = (clickFirst + 1) % clicks.size();
        --clickCount;
    }

    template <std::size_t N>
    double Quantile(const Recent<N>& recent, std::size_t count, double q) noexcept
    {
        sorted.assign(recent.values.begin(), recent.values.begin() + static_cast<std::ptrdiff_t>(count));
        const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(count) * q);
        std::nth_element(sorted.begin(), at, sorted.end());
        return *at;
    }

    // How loud an onset at a click must be to be a hit rather than the click.
    double Limit() noexcept
    {
        double found = 0;
        for (std::size_t i = 0; i < clickFound.count; ++i)
            found += clickFound.values[i];
        if (clickFound.count >= 4 && found >= 0.6 * static_cast<double>(clickFound.count) && leakLevels.count > 0)
            return 1.8 * Quantile(leakLevels, leakLevels.count, 0.25);
        if (hitLevels.count >= 3)
            return 0.4 * Quantile(hitLevels, hitLevels.count, 0.5);
        // Most clicks showed nothing: the microphone does not hear them (headphones).
        return clickFound.count >= 4 ? 0.0 : std::numeric_limits<double>::infinity();
    }

    // How loud an onset beside click (a hit it hid) or later in its sound must be to be a hit:
    // Limit(), or while the leak's level is not known yet, clearly louder than this click's
    // own attack (any, when it showed none).
    double LimitFor(const ClickMark& click) noexcept
    {
        const double limit = Limit();
        return std::isfinite(limit) ? limit : click.found ? 1.8 * click.strength : 0.0;
    }

    void Keep(const Onset& onset) noexcept
    {
        if (anyKept && std::abs(onset.frame - lastKept) <= rate * 0.003)
            return;
        anyKept = true;
        lastKept = onset.frame;
        if (outCount == out.size())
            return;
        out[(outFirst + outCount) % out.size()] = onset;
        ++outCount;
    }

    void Decide(const Onset& onset) noexcept
    {
        ClickMark* click = ClickAt(onset.frame, after);
        if (click == nullptr) {
            // A later attack of the click's own sound.
            if (const ClickMark* sounding = ClickAt(onset.frame, sound); sounding != nullptr && onset.strength < LimitFor(*sounding))
                return;
            hitLevels.Add(onset.strength);
            Keep(onset);
            return;
        }
        click->found = true;
        click->strength = std::max(click->strength, onset.strength);
        const double limit = Limit();
        if (onset.strength >= limit) {
            // Loud enough for a hit, yet it may have been placed at the click's own attack
            // just before the hit's: the hit's attack, when one follows, is the place.
            Onset later;
            const bool follows = PlaceBetween(onset.frame + rate * 0.0005, onset.frame + after, later) && later.strength >= limit;
            Keep(follows ? later : onset);
            return;
        }
        // The click hid a hit just after it or before it: look there.
        const double beside = static_cast<double>(size + hop), hiddenLimit = LimitFor(*click);
        Onset hidden;
        if ((PlaceBetween(onset.frame + after + 1, onset.frame + beside, hidden) && hidden.strength >= hiddenLimit)
            || (PlaceBetween(onset.frame - beside, onset.frame - before, hidden) && hidden.strength >= hiddenLimit))
            Keep(hidden);
    }

    // Decides on every hop that can be decided on with the samples fed so far.
    void Run() noexcept
    {
        while (hops * hop + size <= frames)
            ComputeHop();
        for (; candidate + 2 < hops && candidate * hop + 3 * size <= frames; ++candidate) {
            const std::uint64_t start = candidate * hop;
            // Clicks too far behind to be found any more count as found or not.
            while (clickCount > 0 && clicks[clickFirst].frame + sound + static_cast<double>(2 * hop + size) < static_cast<double>(start))
                Settle();
            // An onset is decided on once no later one can lie within 3 ms of it (which would
            // add its strength: a hit just behind a click's attack).
            if (pending && static_cast<double>(start) > waiting.frame + rate * 0.003 + static_cast<double>(2 * hop + margin)) {
                Decide(waiting);
                pending = false;
            }
            const double value = flux[candidate & fluxMask];
            bool peak = value > 0;
            for (std::uint64_t k = candidate - 2; k <= candidate + 2 && peak; ++k)
                peak = k == candidate || value > flux[k & fluxMask] || (k > candidate && value == flux[k & fluxMask]);
            if (!peak)
                continue;
            // The threshold: the flux's median over the last second, a quarter of the way up to
            // its largest there, never within six median deviations of the median.
            const std::uint64_t first = candidate > 2 * reach ? candidate - 2 * reach : 0;
            around.clear();
            for (std::uint64_t k = first; k <= candidate + 2; ++k)
                around.push_back(flux[k & fluxMask]);
            const double largest = *std::max_element(around.begin(), around.end());
            auto middle = around.begin() + static_cast<std::ptrdiff_t>(around.size() / 2);
            std::nth_element(around.begin(), middle, around.end());
            const double median = *middle;
            deviations.clear();
            for (double f : around)
                deviations.push_back(std::abs(f - median));
            middle = deviations.begin() + static_cast<std::ptrdiff_t>(deviations.size() / 2);
            std::nth_element(deviations.begin(), middle, deviations.end());
            if (value <= median + std::max(0.25 * (largest - median), 6.0 * *middle))
                continue;
            Onset onset;
            if (!PlaceBetween(static_cast<double>(start > 2 * hop ? start - 2 * hop : 0), static_cast<double>(start + size), onset))
                continue;
            if (anyFound && onset.frame - lastFound <= rate * 0.003) {
                if (pending)
                    waiting.strength = std::max(waiting.strength, onset.strength);
                continue;
            }
            anyFound = true;
            lastFound = onset.frame;
            if (pending)
                Decide(waiting);
            waiting = onset;
            pending = true;
        }
    }
};

OnsetStream::OnsetStream(double rate, double maskBeforeMs, double maskAfterMs, double clickSoundMs)
    : state_(std::make_unique<State>(rate, maskBeforeMs, maskAfterMs, clickSoundMs))
{
}

OnsetStream::~OnsetStream() = default;

void OnsetStream::Click(double frame) noexcept
{
    State& s = *state_;
    if (s.clickCount == s.clicks.size())
        s.Settle();
    s.clicks[(s.clickFirst + s.clickCount) % s.clicks.size()] = {frame, false, 0};
    ++s.clickCount;
}

void OnsetStream::Feed(std::span<const float> samples) noexcept
{
    State& s = *state_;
    // In pieces that leave the ring room for what is still to be looked at.
    while (!samples.empty()) {
        const std::size_t piece = std::min<std::size_t>(samples.size(), s.ring.size() / 4);
        for (std::size_t i = 0; i < piece; ++i)
            s.ring[(s.frames + i) & s.ringMask] = samples[i];
        s.frames += piece;
        s.Run();
        samples = samples.subspan(piece);
    }
}

bool OnsetStream::Take(Onset& onset) noexcept
{
    State& s = *state_;
    if (s.outCount == 0)
        return false;
    onset = s.out[s.outFirst];
    s.outFirst = (s.outFirst + 1) % s.out.size();
    --s.outCount;
    return true;
}

std::uint64_t OnsetStream::Frames() const noexcept
{
    return state_->frames;
}

} // namespace Core::Timing

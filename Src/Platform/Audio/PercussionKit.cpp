#include "Platform/Audio/PercussionKit.h"

#include "Platform/Audio/KitRendering.h"
#include "Platform/Files.h"

#include <pthread.h>

#include <algorithm>

namespace Platform::Audio {

namespace {
// A helper that writes nothing for this long is taken as hung. Loading the largest soundfont
// shipped takes well under a second, and rendering a note a few milliseconds.
constexpr int helperSilenceMs = 4000;
} // namespace

std::unique_ptr<PercussionKit> PercussionKit::Create(const std::string& soundFont, std::uint32_t sampleRate,
                                                     const std::vector<Note>& notes, Outcome& outcome,
                                                     const std::atomic<bool>& cancel)
{
    std::unique_ptr<PercussionKit> kit(new PercussionKit);
    kit->helper_ = HelperProgram(KitRendering::HelperName);
    kit->soundFont_ = soundFont;
    kit->sampleRate_ = sampleRate;
    kit->cache_ = std::make_unique<KitCache>(soundFont, sampleRate);
    // The first run also tells whether the soundfont loads at all (notes found on disk were
    // rendered from this very file before).
    outcome = {};
    const HelperEnd end = kit->RenderWithHelper(kit->Missing(notes), cancel, outcome.why);
    if (end != HelperEnd::Rendered) {
        outcome.result = end == HelperEnd::OutOfMemory ? NoMemory : NoDriver;
        outcome.helperFailed = end == HelperEnd::Failed || end == HelperEnd::Cancelled;
        return nullptr;
    }
    sem_init(&kit->wake_, 0, 0);
    kit->renderer_ = std::thread([raw = kit.get()] { raw->RunRenderer(); });
    return kit;
}

PercussionKit::~PercussionKit()
{
    if (renderer_.joinable()) {
        ending_.store(true, std::memory_order_release);
        running_.store(false, std::memory_order_release);
        sem_post(&wake_);
        renderer_.join();
        sem_destroy(&wake_);
    }
}

bool PercussionKit::Has(int note, int velocity) const noexcept
{
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys)
        return false;
    return hits_[Slot(note, velocity)].load(std::memory_order_acquire) != nullptr;
}

void PercussionKit::Request(int note, int velocity) noexcept
{
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys || Has(note, velocity)
        || failed_[Slot(note, velocity)].load(std::memory_order_acquire))
        return;
    if (!wanted_[Slot(note, velocity)].exchange(true, std::memory_order_acq_rel)) {
        wantedCount_.fetch_add(1, std::memory_order_acq_rel);
        sem_post(&wake_);
    }
}

bool PercussionKit::Busy() const noexcept
{
    return wantedCount_.load(std::memory_order_acquire) > 0 || rendering_.load(std::memory_order_acquire);
}

void PercussionKit::ForgetFailures() noexcept
{
    for (std::atomic<bool>& failed : failed_)
        failed.store(false, std::memory_order_release);
}

void PercussionKit::RunRenderer()
{
    pthread_setname_np(pthread_self(), "tolvane-kit");
    while (running_.load(std::memory_order_acquire)) {
        while (sem_wait(&wake_) != 0) {
        }
        // Every note wanted by now, in one run of the helper.
        // Busy from before the notes are taken until they are rendered.
        rendering_.store(true, std::memory_order_release);
        std::vector<Note> notes;
        for (int note = 0; note < Keys; ++note) {
            for (int velocity = 1; velocity < Keys; ++velocity) {
                if (wanted_[Slot(note, velocity)].exchange(false, std::memory_order_acq_rel)) {
                    notes.emplace_back(note, velocity);
                    wantedCount_.fetch_sub(1, std::memory_order_acq_rel);
                }
            }
        }
        if (!notes.empty() && running_.load(std::memory_order_acquire))
            Render(notes);
        rendering_.store(false, std::memory_order_release);
    }
}

void PercussionKit::Render(const std::vector<Note>& notes)
{
    std::lock_guard lock(renderLock_);
    if (const std::vector<Note> missing = Missing(notes); !missing.empty()) {
        std::string why;
        RenderWithHelper(missing, ending_, why);
    }
}

std::vector<PercussionKit::Note> PercussionKit::Missing(const std::vector<Note>& notes) const
{
    std::vector<Note> missing;
    for (const Note& note : notes) {
        const bool valid = note.first >= 0 && note.first < Keys && note.second >= 1 && note.second < Keys;
        if (valid && !Has(note.first, note.second) && !failed_[Slot(note.first, note.second)].load(std::memory_order_acquire))
            missing.push_back(note);
    }
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    return missing;
}

HelperEnd PercussionKit::RenderWithHelper(const std::vector<Note>& notes, const std::atomic<bool>& cancel,
                                          std::string& why)
{
    const auto publish = [this](const KitRendering::NoteHeader& header, std::vector<float>&& samples) {
        const std::size_t slot = Slot(header.note, header.velocity);
        if (hits_[slot].load(std::memory_order_acquire))
            return;
        auto hit = std::make_unique<RenderedHit>();
        hit->frames = header.frames;
        hit->exclusiveClass = header.exclusiveClass;
        hit->samples = std::move(samples);
        hits_[slot].store(hit.get(), std::memory_order_release);
        owned_.push_back(std::move(hit));
    };
    std::vector<Note> toRender;
    for (const Note& note : notes) {
        if (std::optional<KitCache::Hit> kept = cache_->Find(note.first, note.second))
            publish(kept->header, std::move(kept->samples));
        else
            toRender.push_back(note);
    }
    if (toRender.empty() && !notes.empty())
        return HelperEnd::Rendered;
    const HelperEnd end = RunKitHelper(
        helper_, soundFont_, sampleRate_, toRender,
        [this, &publish](const KitRendering::NoteHeader& header, std::vector<float>&& samples) {
            cache_->Store(header, samples);
            publish(header, std::move(samples));
        },
        cancel, helperSilenceMs, why);
    if (end == HelperEnd::Failed) {
        // Not asked of the helper again until the next Start.
        for (const auto& [note, velocity] : notes) {
            if (!Has(note, velocity))
                failed_[Slot(note, velocity)].store(true, std::memory_order_release);
        }
    }
    return end;
}

PercussionKit::Choice PercussionKit::Find(int note, int velocity) const noexcept
{
    Choice choice;
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys)
        return choice;
    if ((choice.hit = hits_[Slot(note, velocity)].load(std::memory_order_acquire))) {
        choice.exact = true;
        return choice;
    }
    for (int distance = 1; distance < Keys; ++distance) {
        for (const int other : {velocity - distance, velocity + distance}) {
            if (other < 1 || other >= Keys)
                continue;
            if (const RenderedHit* hit = hits_[Slot(note, other)].load(std::memory_order_acquire)) {
                // The synthesizer's loudness goes with the square of the velocity.
                const float ratio = static_cast<float>(velocity) / static_cast<float>(other);
                choice.hit = hit;
                choice.gain = ratio * ratio;
                return choice;
            }
        }
    }
    return choice;
}

} // namespace Platform::Audio

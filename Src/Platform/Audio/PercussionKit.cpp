#include "Platform/Audio/PercussionKit.h"

#include "Platform/Audio/KitRendering.h"
#include "Platform/Files.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace Platform::Audio {

namespace {

enum class Read { Whole, End, Broken };

// Reads exactly bytes from fd: End when it ends before the first byte, Broken when it ends
// (or fails) part-way.
Read ReadAll(int fd, void* data, std::size_t bytes)
{
    auto* at = static_cast<char*>(data);
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t count = ::read(fd, at + got, bytes - got);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return got == 0 && count == 0 ? Read::End : Read::Broken;
        got += static_cast<std::size_t>(count);
    }
    return Read::Whole;
}

// The helper's pid, started with its standard output on a pipe whose reading end is output;
// -1 when it cannot be started.
pid_t StartHelper(const std::vector<std::string>& arguments, int& output)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Whatever thread starts it (one raised to real-time priority, one with signals blocked),
    // the helper runs as an ordinary process.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sched_param priority{};
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setschedpolicy(&attributes, SCHED_OTHER);
    posix_spawnattr_setschedparam(&attributes, &priority);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSCHEDULER);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        return -1;
    }
    output = ends[0];
    return pid;
}

} // namespace

std::unique_ptr<PercussionKit> PercussionKit::Create(const std::string& soundFont, std::uint32_t sampleRate,
                                                     const std::vector<Note>& notes, Result& result)
{
    std::unique_ptr<PercussionKit> kit(new PercussionKit);
    kit->helper_ = HelperProgram(KitRendering::HelperName);
    kit->soundFont_ = soundFont;
    kit->sampleRate_ = sampleRate;
    // The first run also tells whether the soundfont loads at all.
    result = kit->RenderWithHelper(kit->Missing(notes));
    if (result != NoError)
        return nullptr;
    sem_init(&kit->wake_, 0, 0);
    kit->renderer_ = std::thread([raw = kit.get()] { raw->RunRenderer(); });
    return kit;
}

PercussionKit::~PercussionKit()
{
    if (renderer_.joinable()) {
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
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys || Has(note, velocity))
        return;
    if (!wanted_[Slot(note, velocity)].exchange(true, std::memory_order_acq_rel))
        sem_post(&wake_);
}

void PercussionKit::RunRenderer()
{
    pthread_setname_np(pthread_self(), "tolvane-kit");
    while (running_.load(std::memory_order_acquire)) {
        while (sem_wait(&wake_) != 0) {
        }
        // Every note wanted by now, in one run of the helper.
        std::vector<Note> notes;
        for (int note = 0; note < Keys; ++note) {
            for (int velocity = 1; velocity < Keys; ++velocity) {
                if (wanted_[Slot(note, velocity)].exchange(false, std::memory_order_acq_rel))
                    notes.emplace_back(note, velocity);
            }
        }
        if (!notes.empty() && running_.load(std::memory_order_acquire))
            Render(notes);
    }
}

void PercussionKit::Render(const std::vector<Note>& notes)
{
    std::lock_guard lock(renderLock_);
    if (const std::vector<Note> missing = Missing(notes); !missing.empty())
        RenderWithHelper(missing);
}

std::vector<PercussionKit::Note> PercussionKit::Missing(const std::vector<Note>& notes) const
{
    std::vector<Note> missing;
    for (const Note& note : notes) {
        const bool valid = note.first >= 0 && note.first < Keys && note.second >= 1 && note.second < Keys;
        if (valid && !Has(note.first, note.second))
            missing.push_back(note);
    }
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    return missing;
}

Result PercussionKit::RenderWithHelper(const std::vector<Note>& notes)
{
    std::vector<std::string> arguments{helper_, soundFont_, std::to_string(sampleRate_)};
    for (const auto& [note, velocity] : notes)
        arguments.push_back(std::to_string(note) + ':' + std::to_string(velocity));
    int output = -1;
    const pid_t helper = StartHelper(arguments, output);
    if (helper < 0)
        return NoDriver;
    const std::uint64_t mostFrames = KitRendering::MostFrames(sampleRate_);
    bool intact = true;
    for (;;) {
        KitRendering::NoteHeader header{};
        const Read read = ReadAll(output, &header, sizeof header);
        if (read == Read::End)
            break;
        if (read == Read::Broken || header.note < 0 || header.note >= Keys || header.velocity < 1
            || header.velocity >= Keys || header.frames > mostFrames) {
            intact = false;
            break;
        }
        auto hit = std::make_unique<RenderedHit>();
        hit->frames = header.frames;
        hit->exclusiveClass = header.exclusiveClass;
        hit->samples.resize(2 * std::size_t{header.frames});
        if (ReadAll(output, hit->samples.data(), hit->samples.size() * sizeof(float)) != Read::Whole) {
            intact = false;
            break;
        }
        const std::size_t slot = Slot(header.note, header.velocity);
        if (hits_[slot].load(std::memory_order_acquire))
            continue;
        hits_[slot].store(hit.get(), std::memory_order_release);
        owned_.push_back(std::move(hit));
    }
    ::close(output);
    if (!intact)
        ::kill(helper, SIGKILL);
    int status = 0;
    while (::waitpid(helper, &status, 0) < 0 && errno == EINTR) {
    }
    if (!intact || !WIFEXITED(status))
        return NoDriver;
    switch (WEXITSTATUS(status)) {
    case KitRendering::Rendered:
        return NoError;
    case KitRendering::OutOfMemory:
        return NoMemory;
    default:
        return NoDriver;
    }
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

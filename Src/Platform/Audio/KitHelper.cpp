#include "Platform/Audio/KitHelper.h"

#include "Platform/Clock.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

extern char** environ;

namespace Platform::Audio {

namespace {

enum class Read { Whole, End, Broken, Silent, Cancelled };

// Reads exactly bytes from fd, waiting at most silenceMs for each piece: End when it ends
// before the first byte, Broken when it ends (or fails) part-way.
Read ReadAll(int fd, void* data, std::size_t bytes, const std::atomic<bool>& cancel, int silenceMs)
{
    auto* at = static_cast<char*>(data);
    std::size_t got = 0;
    std::int64_t lastProgress = Clock::Now();
    while (got < bytes) {
        if (cancel.load(std::memory_order_acquire))
            return Read::Cancelled;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 100);
        if (polled < 0 && errno != EINTR)
            return Read::Broken;
        if (polled <= 0) {
            if (Clock::Now() - lastProgress > std::int64_t{silenceMs} * 1'000'000)
                return Read::Silent;
            continue;
        }
        const ssize_t count = ::read(fd, at + got, bytes - got);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return got == 0 && count == 0 ? Read::End : Read::Broken;
        got += static_cast<std::size_t>(count);
        lastProgress = Clock::Now();
    }
    return Read::Whole;
}

// The helper's pid, started with its standard output on a pipe whose reading end is output;
// -1 when it cannot be started (error is then the reason).
pid_t StartHelper(const std::vector<std::string>& arguments, int& output, int& error)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = errno;
        return -1;
    }
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
    error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (error != 0) {
        ::close(ends[0]);
        return -1;
    }
    output = ends[0];
    return pid;
}

} // namespace

HelperEnd RunKitHelper(const std::string& helper, const std::string& soundFont, std::uint32_t sampleRate,
                       const std::vector<std::pair<int, int>>& notes,
                       const std::function<void(const KitRendering::NoteHeader&, std::vector<float>&&)>& take,
                       const std::atomic<bool>& cancel, int silenceMs, std::string& why)
{
    why.clear();
    std::vector<std::string> arguments{helper, soundFont, std::to_string(sampleRate)};
    for (const auto& [note, velocity] : notes)
        arguments.push_back(std::to_string(note) + ':' + std::to_string(velocity));
    int output = -1;
    int error = 0;
    const pid_t pid = StartHelper(arguments, output, error);
    if (pid < 0) {
        why = helper + " could not be started: " + std::strerror(error);
        return HelperEnd::Failed;
    }
    const std::uint64_t mostFrames = KitRendering::MostFrames(sampleRate);
    std::set<std::pair<int, int>> awaited(notes.begin(), notes.end());
    Read read = Read::Whole;
    for (;;) {
        KitRendering::NoteHeader header{};
        read = ReadAll(output, &header, sizeof header, cancel, silenceMs);
        if (read != Read::Whole)
            break;
        if (awaited.erase({header.note, header.velocity}) == 0 || header.frames > mostFrames) {
            read = Read::Broken;
            break;
        }
        std::vector<float> samples(2 * std::size_t{header.frames});
        read = ReadAll(output, samples.data(), samples.size() * sizeof(float), cancel, silenceMs);
        if (read != Read::Whole) {
            if (read == Read::End)
                read = Read::Broken;
            break;
        }
        take(header, std::move(samples));
    }
    ::close(output);
    // A helper that has closed its output ends at once; one that does not within the silence
    // limit (or one given up above) is killed. Either way it is reaped here.
    int status = 0;
    const std::int64_t giveUp = Clock::Now() + std::int64_t{silenceMs} * 1'000'000;
    bool reaped = false;
    while (read == Read::End && !reaped && Clock::Now() < giveUp && !cancel.load(std::memory_order_acquire)) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        reaped = ended == pid || (ended < 0 && errno != EINTR);
        if (!reaped)
            ::usleep(5000);
    }
    if (!reaped) {
        if (read == Read::End)
            read = cancel.load(std::memory_order_acquire) ? Read::Cancelled : Read::Silent;
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    switch (read) {
    case Read::Cancelled:
        why = "cancelled";
        return HelperEnd::Cancelled;
    case Read::Silent:
        why = helper + " wrote nothing for " + std::to_string(silenceMs) + " ms and was ended";
        return HelperEnd::Failed;
    case Read::Broken:
        why = helper + " wrote what was not asked for, or stopped part-way";
        return HelperEnd::Failed;
    default:
        break;
    }
    if (WIFSIGNALED(status)) {
        why = helper + " was ended by signal " + std::to_string(WTERMSIG(status));
        return HelperEnd::Failed;
    }
    switch (WIFEXITED(status) ? WEXITSTATUS(status) : -1) {
    case KitRendering::Rendered:
        if (!awaited.empty()) {
            why = helper + " left notes out";
            return HelperEnd::Failed;
        }
        return HelperEnd::Rendered;
    case KitRendering::NotASoundFont:
        why = soundFont + " is not a usable soundfont";
        return HelperEnd::NotASoundFont;
    case KitRendering::OutOfMemory:
        why = helper + " ran out of memory";
        return HelperEnd::OutOfMemory;
    default:
        why = helper + " ended with status " + std::to_string(WEXITSTATUS(status));
        return HelperEnd::Failed;
    }
}

} // namespace Platform::Audio

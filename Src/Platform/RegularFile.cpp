#include "Platform/RegularFile.h"

#include "Platform/SystemError.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Platform {

namespace {

ReadOutcome Fail(ReadProblem problem, int error, std::string& bytes)
{
    bytes.clear();
    return ReadOutcome{problem, error};
}

} // namespace

ReadOutcome ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes, Links links)
{
    bytes.clear();
    UserFile file;
    switch (file.Open(path, limit, links)) {
    case UserFileStatus::Opened:
        break;
    case UserFileStatus::OpenFailed:
        // A folder opens but is no file to read: the same refusal as a pipe or a device.
        if (errno == EISDIR)
            return Fail(ReadProblem::NotRegular, 0, bytes);
        return Fail(ReadProblem::CannotOpen, errno, bytes);
    case UserFileStatus::NotRegular:
        return Fail(ReadProblem::NotRegular, 0, bytes);
    case UserFileStatus::TooLarge:
        return Fail(ReadProblem::TooLarge, 0, bytes);
    }

    bytes.resize(static_cast<std::size_t>(file.Size()));
    std::size_t done = 0;
    for (;;) {
        // One byte of room past the limit tells a file that grew while it was read.
        if (done == bytes.size()) {
            if (bytes.size() > limit)
                return Fail(ReadProblem::TooLarge, 0, bytes);
            bytes.resize(bytes.size() < limit ? std::min(limit + 1, bytes.size() + 65536) : limit + 1);
        }
        const ssize_t count = ::read(file.Descriptor(), bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return Fail(ReadProblem::CannotRead, errno, bytes);
        if (count == 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    bytes.resize(done);
    return ReadOutcome{};
}

std::string DescribeReadProblem(const ReadOutcome& outcome, std::size_t limit)
{
    switch (outcome.problem) {
    case ReadProblem::None:
        return "read";
    case ReadProblem::NotRegular:
        return "not a regular file";
    case ReadProblem::TooLarge:
        return "larger than " + std::to_string(limit) + " bytes";
    case ReadProblem::CannotOpen:
    case ReadProblem::CannotRead:
        break;
    }
    return ErrorText(outcome.error);
}

} // namespace Platform

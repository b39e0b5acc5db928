#include "Platform/RegularFile.h"

#include "Platform/SystemError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Platform {

namespace {

class Descriptor {
public:
    explicit Descriptor(int value) : value_(value) {}
    ~Descriptor()
    {
        if (value_ >= 0)
            ::close(value_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return value_; }

private:
    int value_;
};

ReadOutcome Fail(ReadProblem problem, int error, std::string& bytes)
{
    bytes.clear();
    return ReadOutcome{problem, error};
}

} // namespace

ReadOutcome ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes, Links links)
{
    bytes.clear();
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    const Descriptor file(::open(path.c_str(), flags));
    if (file.Get() < 0) {
        // O_NOFOLLOW on a link gives ELOOP: that is a file of the wrong kind, not a fault.
        if (errno == ELOOP && links == Links::Refuse)
            return Fail(ReadProblem::NotRegular, 0, bytes);
        return Fail(ReadProblem::CannotOpen, errno, bytes);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        return Fail(ReadProblem::CannotRead, errno, bytes);
    if (!S_ISREG(info.st_mode))
        return Fail(ReadProblem::NotRegular, 0, bytes);
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > limit)
        return Fail(ReadProblem::TooLarge, 0, bytes);

    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        // One byte of room past the limit tells a file that grew while it was read.
        if (done == bytes.size()) {
            if (bytes.size() > limit)
                return Fail(ReadProblem::TooLarge, 0, bytes);
            bytes.resize(bytes.size() < limit ? std::min(limit + 1, bytes.size() + 65536) : limit + 1);
        }
        const ssize_t count = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
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

#pragma once
#include "Platform/UserFile.h"

#include <cerrno>
#include <cstddef>
#include <string>

namespace Platform {

/// Why a file named by the user could not be read.
enum class ReadProblem {
    None,          ///< the whole file was read
    CannotOpen,    ///< open failed; error holds errno (ENOENT: there is no such file)
    NotRegular,    ///< a folder, pipe, device, socket (or a link when links are refused)
    TooLarge,      ///< larger than the limit given
    CannotRead,    ///< fstat or read failed; error holds errno
};

/// What ReadRegularFile came to.
struct ReadOutcome {
    ReadProblem problem = ReadProblem::None;
    int error = 0; ///< errno for CannotOpen and CannotRead, else 0

    bool Ok() const { return problem == ReadProblem::None; }
    /// True when the path names nothing at all (so there is nothing a write could destroy).
    bool Missing() const { return problem == ReadProblem::CannotOpen && error == ENOENT; }
};

/// Reads a whole file that a user may have named, never blocking and never reading without
/// bound: the file is opened as UserFile opens it (a named pipe or a device does not hang the
/// caller; anything but a regular file, a folder included, is refused before a byte is read),
/// and a file larger than limit bytes (also one that grows past it while being read) is
/// refused. bytes holds the content on success and is emptied otherwise. Any thread may call.
ReadOutcome ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes,
                            Links links = Links::Follow);

/// One line in English saying why, for log entries: "not a regular file", "larger than
/// 16777216 bytes", or the system's text for the error ("Permission denied").
std::string DescribeReadProblem(const ReadOutcome& outcome, std::size_t limit);

} // namespace Platform

#pragma once
#include <string>

namespace Configuration {

/// Writes bytes as the file at path in one step, so that a crash, a full disk or a second
/// copy of the program saving at the same moment leaves either the old file or the new one,
/// never a mix: the bytes go to a temporary file of a name no other save uses ("<path>.tmp-"
/// and six random characters, created exclusively, mode 0600, in the same folder), are
/// flushed to the disk and renamed over path. A symbolic link at path is replaced, never
/// followed. On failure path is untouched, the temporary file is removed first (so the log
/// line still finds room on a full disk) and the failed call is logged at level Error with
/// the given function name. GUI thread.
bool WriteReplacing(const std::string& path, const std::string& bytes, const char16_t* function);

/// Removes temporary files of path that saves which never finished left behind (a killed
/// program): regular files and links named "<path>.tmp" or "<path>.tmp-*" that no running
/// save holds and that are more than a few seconds old. Empty folders of such names go too;
/// anything else is left alone, and none of it can stop a save.
void RemoveStaleTemporaries(const std::string& path);

} // namespace Configuration

#pragma once
#include <string>

namespace Platform {

/// Why path cannot hold the user's private files (sockets, settings), or an empty text when it
/// can: it must be a real folder (not a symbolic link), owned by the effective user, and
/// neither its group nor others may write into it. Any thread.
std::string PrivateFolderProblem(const std::string& path);

/// The folder name inside parent, made with mode 0700 when missing, else checked with
/// PrivateFolderProblem. Returns its path with a trailing '/', or an empty text with the
/// reason in problem. Any thread.
std::string MakePrivateFolder(const std::string& parent, const std::string& name, std::string& problem);

/// Where the program keeps the user's sockets: $XDG_RUNTIME_DIR when it is private, otherwise
/// "tolvane-<user id>" made private in the temporary folder ($TMPDIR, else /tmp). Empty, with
/// the reason in problem, when neither can be used. Ends with '/'. Any thread.
std::string RuntimeFolder(std::string& problem);

/// The same choice for given folders; exposed for tests.
std::string RuntimeFolderFor(const std::string& runtimeFolder, const std::string& tempFolder, std::string& problem);

} // namespace Platform

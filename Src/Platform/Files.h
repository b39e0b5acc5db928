#pragma once
#include <string>
#include <string_view>

namespace Platform {

/// The folder of the running executable, with a trailing '/'. Empty if it cannot be read.
std::string ExecutableFolder();

/// Where the program keeps its configuration and log, always a folder this user owns and
/// nobody else may write (Platform::PrivateFolderProblem): the executable's folder when it is such a folder and this is no
/// installed copy (see LanguageFolder), else $XDG_CONFIG_HOME/tolvane/ (~/.config/tolvane/
/// when the variable is unset), else $TMPDIR/tolvane-<uid>/ (/tmp when unset); a missing one
/// is created with mode 0700. Ends with '/'; empty when no safe folder exists (the program
/// then saves nothing).
std::string DataFolder();

/// The same choice for a given executable folder (with trailing '/'); exposed for tests.
std::string DataFolderFor(const std::string& executableFolder);

/// Folder of the shipped language files, with a trailing '/': "Lang/" beside the executable
/// (a build tree, a copied program folder), else the installed <prefix>/share/tolvane/Lang/.
std::string LanguageFolder();

/// Folder of the spoken count's sounds, with a trailing '/': "voices/" beside the executable
/// (a build tree, a copied program folder), else the installed <prefix>/share/tolvane/voices/;
/// one folder in it per language ("en", "de", "fr").
std::string VoiceFolder();

/// The settings a first start begins with, "FirstSettings.conf": beside the executable (a build
/// tree, a copied program folder), else the installed <prefix>/share/tolvane/FirstSettings.conf.
std::string FirstSettingsFile();

/// Folder of the manual Tolvane.pdf, with a trailing '/': the executable's folder when the
/// manual is there, else the installed <prefix>/share/doc/tolvane/.
std::string ManualFolder();

/// The path of a helper program shipped with Tolvane (name without folder): beside the
/// executable (a build tree, a copied program folder), else the installed
/// <prefix>/libexec/tolvane/.
std::string HelperProgram(const std::string& name);

/// The choice these make: the executable's folder when it holds entry (a file or folder name),
/// else executableFolder + installedFolder (relative, with a trailing '/') when that holds
/// it, else the executable's folder. Exposed for tests.
std::string ShippedFolderFor(const std::string& executableFolder, const std::string& entry,
                             const std::string& installedFolder);

/// Renames a file; fails (errno EEXIST) when the target exists. Sets errno on failure.
/// Writes every byte to the descriptor, again after an interrupted write; false on the first
/// failure or a write that takes nothing.
bool WriteAll(int descriptor, const void* data, std::size_t bytes);

bool MoveFileNoReplace(const std::string& from, const std::string& to);

/// Renames a file over an existing one in one atomic step. Sets errno on failure.
bool ReplaceFile(const std::string& from, const std::string& to);

/// True when the path names an existing folder.
bool IsFolder(const std::string& path);

/// Splits a path after its last folder separator; both '/' and '\' separate folders.
/// Returns the position just after the separator (0 when there is none).
std::size_t FileNameStart(const std::string& path);
std::size_t FileNameStart(std::u16string_view path);

/// The file name of a path: the text after its last '/' or '\' (a path stored on Windows),
/// the whole path when it has neither. What the sound lists and the step sequencer show for
/// an audio file.
std::u16string_view FileName(std::u16string_view path);

} // namespace Platform

#pragma once
#include "System/Language.h"

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace System {

/// A language's two names from the [Language] section of its file.
struct LanguageNames {
    static constexpr std::size_t Capacity = 256; // code units, terminator included
    char16_t english[Capacity] = {};             // key LangEnglish: the name in English
    char16_t native[Capacity] = {};              // key Language: the name in the language itself
};

/// Reads language files: UTF-8 text with a byte-order mark, the signature line "@lng", a
/// [Language] section with the two names, then numbered sections whose key k sets entry k - 1.
///
/// Lines are read in pieces of at most 899 bytes (the rest of a longer line is a line of its
/// own, except after a '#': a comment is skipped whole, however long) and counted from the
/// signature line, which is line 1. A CR LF line end reads as a line
/// feed. Every complaint goes to the log at level Error and names the line; any complaint ends
/// the read with failure. One reader serves one thread at a time.
class LanguageFileReader {
public:
    LanguageFileReader() = default;
    ~LanguageFileReader();
    LanguageFileReader(const LanguageFileReader&) = delete;
    LanguageFileReader& operator=(const LanguageFileReader&) = delete;

    /// Opens a file (UTF-8 path) for reading, closing any file open before: a regular file of
    /// at most MaximumFileBytes only, read whole at once without blocking (a named pipe or a
    /// device is refused, never waited on). Logs a refused kind or size at level Error;
    /// nothing else.
    bool Open(const std::string& path);
    /// Takes over an open stream (read from its current position), closing any file open before.
    void Attach(std::FILE* file) noexcept;
    void Close() noexcept;
    bool IsOpen() const noexcept { return file_ != nullptr; }

    /// Skips the first three bytes whatever they are, then reads line 1 (at most 31 bytes),
    /// which must be exactly "@lng" and a line end. Otherwise logs "Invalid file signature
    /// '...' found in language file. ..." with the line read and fails.
    bool CheckSignature();

    /// Fills `table` from a file positioned after the signature line: skips the [Language]
    /// section, then stores every numbered entry. A key between a section's entry count and
    /// 101 is accepted and ignored. Entries stored before a failure stay in the table. The file
    /// stays open.
    bool ReadBody(Language& table);

    /// Reads the names of the language from a file positioned at its start: signature, the
    /// first section (which must be [Language]), then the keys LangEnglish and Language (names
    /// compared without regard to case; both searched from the start of that section). Closes
    /// the file before returning.
    bool ReadNames(LanguageNames& names);

    /// Number of the line read last (the signature line is 1).
    int LineNumber() const noexcept { return lineNumber_; }
    Section CurrentSection() const noexcept { return section_; }

    static constexpr std::size_t MaximumFileBytes = 16u << 20;
    static constexpr std::size_t LinePieceSize = 899;
    static constexpr std::size_t SignatureLineSize = 31;
    static constexpr std::size_t MaximumKeyLength = 63;
    static constexpr std::size_t MaximumValueLength = 771;
    /// The [Text] table has grown past a hundred entries; keys beyond a section's entries still go nowhere.
    static constexpr int LargestKey = 999;

private:
    bool ReadPiece(std::size_t limit);
    bool ReadLine();
    bool FindHeaderLine(std::string_view& header);
    bool ParseSectionHeader(std::string_view header);
    bool SplitKeyLine(std::string_view text, std::string& key, std::string& value);
    bool FindName(const char* key, char16_t* destination);

    std::FILE* file_ = nullptr;
    Section section_ = Section::Language;
    std::string sectionName_; // as the last header wrote it
    int lineNumber_ = 0;
    std::string content_; // the file Open read, which file_ reads from
    std::string line_;
    bool lineCut_ = false; // the last piece stopped at its limit, before the line's end
};

/// Path of the file of language `name` ("de" gives ".../Lang/de.lng" in
/// Platform::LanguageFolder(): beside the executable, or in an installed copy's share folder).
std::string LanguageFilePath(const std::string& name);

/// Opens a language file, checks its signature, reads its body and closes it. Returns the
/// table, or nullptr when the file cannot be opened (not logged), is refused (a named pipe, a
/// device, above 16 MiB), its buffer cannot be allocated, or the file is malformed (logged).
/// Window thread.
std::shared_ptr<Language> LoadLanguageFile(const std::string& path);

/// The header reader for a file path; false when it cannot be opened or read. Window thread.
bool ReadLanguageNames(const std::string& path, LanguageNames& names);

/// A language file the language chooser offers.
struct LanguageFileChoice {
    std::u16string name; ///< the file's stem: the language name the settings keep
    LanguageNames names;
};

/// The language files of folder (ending in '/') that the program can switch to: files
/// "<stem>.lng" shorter than 8 characters whose stem has no further dot (the program loads a
/// language by its stem) and only characters up to U+00FF, whose header reads and whose body
/// loads. The readers log why a file is left out. In the folder's order. False, with errno
/// set, when the folder exists but cannot be listed (what was found before stays in files); a
/// missing folder lists nothing. Window thread.
bool ListLanguageFiles(const std::string& folder, std::vector<LanguageFileChoice>& files);

} // namespace System

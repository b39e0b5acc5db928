#include "System/LanguageFileReader.h"

#include "Platform/Files.h"
#include "Platform/Text.h"
#include "Platform/RegularFile.h"
#include "System/Log.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>

namespace System {

namespace {

constexpr const char* EndOfFileMessage =
    "Unexpected language file structure. Reached end of file when expected another file section.";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view left, std::string_view right)
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (LowerAscii(left[i]) != LowerAscii(right[i]))
            return false;
    }
    return true;
}

std::string_view SkipBlanks(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    return text.substr(start);
}

// An empty line or one starting with '#' (after the blanks) says nothing.
bool IsComment(std::string_view text) { return text.empty() || text[0] == '\n' || text[0] == '#'; }

bool IsHeader(std::string_view text) { return !text.empty() && text[0] == '['; }

// A key is read as a decimal number from its leading digits ("12" → 12, letters → 0). Large
// numbers stop counting once they are out of every section's range.
int KeyNumber(std::string_view key)
{
    int number = 0;
    for (char c : key) {
        if (c < '0' || c > '9')
            break;
        number = number * 10 + (c - '0');
        if (number > LanguageFileReader::LargestKey)
            return LanguageFileReader::LargestKey + 1;
    }
    return number;
}

} // namespace

LanguageFileReader::~LanguageFileReader()
{
    Close();
}

bool LanguageFileReader::Open(const std::string& path)
{
    Close();
    lineNumber_ = 0;
    // The whole file, read without blocking and bounded in size, is then read as a stream.
    const Platform::ReadOutcome outcome = Platform::ReadRegularFile(path, MaximumFileBytes, content_);
    if (!outcome.Ok()) {
        if (outcome.problem == Platform::ReadProblem::NotRegular || outcome.problem == Platform::ReadProblem::TooLarge)
            Log().Write(System::Error, "The language file %s is %s; refused", path.c_str(),
                        Platform::DescribeReadProblem(outcome, MaximumFileBytes).c_str());
        return false;
    }
    file_ = fmemopen(content_.empty() ? nullptr : content_.data(), content_.size(), "rb");
    return file_ != nullptr;
}

void LanguageFileReader::Attach(std::FILE* file) noexcept
{
    Close();
    file_ = file;
    lineNumber_ = 0;
}

void LanguageFileReader::Close() noexcept
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

// Reads up to `limit` bytes into line_, through the first line feed. A CR LF pair counts as
// one line feed. The line's text ends at a zero byte, as every reader of it expects a C text.
// Returns false when nothing was left to read.
bool LanguageFileReader::ReadPiece(std::size_t limit)
{
    line_.clear();
    if (file_ == nullptr)
        return false;
    bool any = false;
    while (line_.size() < limit) {
        int c = std::getc(file_);
        if (c == EOF)
            break;
        if (c == '\r') {
            const int next = std::getc(file_);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, file_);
        }
        any = true;
        line_ += static_cast<char>(c);
        if (c == '\n')
            break;
    }
    lineCut_ = line_.size() == limit && line_.back() != '\n';
    const std::size_t zero = line_.find('\0');
    if (zero != std::string::npos)
        line_.resize(zero);
    return any;
}

bool LanguageFileReader::ReadLine()
{
    if (!ReadPiece(LinePieceSize))
        return false;
    ++lineNumber_;
    const std::string_view text = SkipBlanks(line_);
    if (lineCut_ && !text.empty() && text[0] == '#') {
        int c = 0;
        while ((c = std::getc(file_)) != EOF && c != '\n') {
        }
    }
    return true;
}

bool LanguageFileReader::CheckSignature()
{
    for (int i = 0; i < 3 && file_ != nullptr; ++i) {
        if (std::getc(file_) == EOF)
            break;
    }
    ReadPiece(SignatureLineSize);
    lineNumber_ = 1;
    if (line_ == "@lng\n")
        return true;
    std::string shown = line_;
    if (!shown.empty() && shown.back() == '\n')
        shown.pop_back();
    Log().Write(System::Error,
                "Invalid file signature '%s' found in language file. File must be saved in UTF-8 format, with "
                "'@lng' followed by a new line as the first characters in the file. ",
                shown.c_str());
    return false;
}

// Skips lines up to the next one whose first non-blank character is '['.
bool LanguageFileReader::FindHeaderLine(std::string_view& header)
{
    while (ReadLine()) {
        const std::string_view text = SkipBlanks(line_);
        if (IsHeader(text)) {
            header = text;
            return true;
        }
    }
    Log().Write(System::Error, "%s", EndOfFileMessage);
    return false;
}

bool LanguageFileReader::ParseSectionHeader(std::string_view header)
{
    const std::string_view rest = header.substr(1); // after '['
    const std::size_t end = rest.find_first_of("]\n");
    sectionName_ = std::string(rest.substr(0, end == std::string_view::npos ? rest.size() : end));
    if (end == std::string_view::npos || rest[end] != ']') {
        Log().Write(System::Error, "Expected closing square bracket at end of section '%s' in line %d of language file",
                    sectionName_.c_str(), lineNumber_);
        return false;
    }
    for (int i = 0; i < SectionCount; ++i) {
        const auto section = static_cast<Section>(i);
        if (EqualsIgnoringCase(sectionName_, SectionName(section))) {
            section_ = section;
            return true;
        }
    }
    Log().Write(System::Error, "Invalid section '%s' found in line %d of language file", sectionName_.c_str(),
                lineNumber_);
    return false;
}

// Splits "key = value" (text starts at the key). The value ends at a line feed, tab or '#';
// the two characters \n stand for one line feed.
bool LanguageFileReader::SplitKeyLine(std::string_view text, std::string& key, std::string& value)
{
    std::size_t i = 0;
    while (i < text.size() && IsKeyCharacter(text[i]))
        ++i;
    if (i > MaximumKeyLength) {
        Log().Write(System::Error, "Invalid length for key on line %d in language file", lineNumber_);
        return false;
    }
    key.assign(text.substr(0, i));

    bool equals = false;
    while (i < text.size() && (text[i] == ' ' || text[i] == '=')) {
        equals = equals || text[i] == '=';
        ++i;
    }
    if (!equals) {
        Log().Write(System::Error, "Expected equals sign after key '%s' on line %d in language file.", key.c_str(),
                    lineNumber_);
        return false;
    }

    value.clear();
    while (i < text.size() && text[i] != '\n' && text[i] != '\t' && text[i] != '#') {
        char c = text[i++];
        if (c == '\\' && i < text.size() && text[i] == 'n') {
            c = '\n';
            ++i;
        }
        if (value.size() == MaximumValueLength) {
            Log().Write(System::Error, "Invalid length for key %s on line %d in language file", key.c_str(),
                        lineNumber_);
            return false;
        }
        value += c;
    }
    if (value.empty()) {
        Log().Write(System::Error, "No value entered for key %s on line %d in language file", key.c_str(),
                    lineNumber_);
        return false;
    }
    return true;
}

bool LanguageFileReader::ReadBody(Language& table)
{
    if (file_ == nullptr || !table.IsUsable())
        return false;
    std::string_view header;
    if (!FindHeaderLine(header)) // [Language]: its names are not part of the tables
        return false;
    if (!FindHeaderLine(header) || !ParseSectionHeader(header))
        return false;

    std::string key;
    std::string value;
    while (ReadLine()) {
        const std::string_view text = SkipBlanks(line_);
        if (IsComment(text))
            continue;
        if (IsHeader(text)) {
            if (!ParseSectionHeader(text))
                return false;
            continue;
        }
        if (!SplitKeyLine(text, key, value))
            return false;
        const int number = KeyNumber(key);
        if (number < 1 || number > LargestKey) {
            Log().Write(System::Error, "Unexpected key %s found in line %d of language file", key.c_str(),
                        lineNumber_);
            return false;
        }
        // Keys past the section's own entries (and numbered keys in a repeated [Language])
        // are accepted but have nowhere to go.
        table.SetEntry(section_, number - 1, value);
    }
    return std::ferror(file_) == 0;
}

// Reads key lines from the current position until `key`; other sections' headers are passed over.
bool LanguageFileReader::FindName(const char* key, char16_t* destination)
{
    std::string found;
    std::string value;
    while (ReadLine()) {
        const std::string_view text = SkipBlanks(line_);
        if (IsComment(text) || IsHeader(text))
            continue;
        if (!SplitKeyLine(text, found, value))
            return false;
        if (EqualsIgnoringCase(found, key)) {
            Platform::Text::Utf8ToUtf16(value, destination, LanguageNames::Capacity);
            return true;
        }
    }
    return false;
}

bool LanguageFileReader::ReadNames(LanguageNames& names)
{
    struct Closer {
        LanguageFileReader& reader;
        ~Closer() { reader.Close(); }
    } closer{*this};

    if (file_ == nullptr || !CheckSignature())
        return false;
    std::string_view header;
    if (!FindHeaderLine(header) || !ParseSectionHeader(header))
        return false;
    if (section_ != Section::Language) {
        Log().Write(System::Error,
                    "Current section '%s' from line %d of language file doesn't match expected section '%s'",
                    sectionName_.c_str(), lineNumber_, "Language");
        return false;
    }

    const long start = std::ftell(file_);
    const int startLine = lineNumber_;
    if (start < 0 || !FindName("LangEnglish", names.english))
        return false;
    if (std::fseek(file_, start, SEEK_SET) != 0)
        return false;
    lineNumber_ = startLine;
    return FindName("Language", names.native);
}

std::string LanguageFilePath(const std::string& name)
{
    return Platform::LanguageFolder() + name + ".lng";
}

std::shared_ptr<Language> LoadLanguageFile(const std::string& path)
{
    auto table = std::make_shared<Language>();
    if (!table->IsUsable())
        return nullptr;
    LanguageFileReader reader;
    if (!reader.Open(path))
        return nullptr;
    if (!reader.CheckSignature() || !reader.ReadBody(*table))
        return nullptr;
    return table;
}

bool ReadLanguageNames(const std::string& path, LanguageNames& names)
{
    LanguageFileReader reader;
    return reader.Open(path) && reader.ReadNames(names);
}

bool ListLanguageFiles(const std::string& folder, std::vector<LanguageFileChoice>& files)
{
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        return errno == ENOENT || errno == ENOTDIR;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::u16string fileName = Platform::Text::Utf8ToUtf16(entry->d_name);
        constexpr std::u16string_view extension = u".lng";
        std::u16string stem = fileName.size() < 8 && fileName.ends_with(extension)
                                  ? fileName.substr(0, fileName.size() - extension.size())
                                  : std::u16string();
        const bool listed = !stem.empty() && std::ranges::all_of(stem, [](char16_t unit) {
            return unit != 0 && unit != u'.' && unit <= 0xFF;
        });
        const std::string path = folder + entry->d_name;
        LanguageFileChoice choice;
        if (listed && ReadLanguageNames(path, choice.names) && LoadLanguageFile(path)) {
            choice.name = std::move(stem);
            files.push_back(std::move(choice));
        }
        errno = 0;
    }
    const int error = errno;
    ::closedir(directory);
    errno = error;
    return error == 0;
}

} // namespace System

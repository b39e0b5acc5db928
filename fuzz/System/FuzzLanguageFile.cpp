// Arbitrary bytes as a language file: the body reader and the header reader must never crash,
// never write outside an entry, and leave every entry and both names terminated.
#include "Platform/Text.h"
#include "DiscardingLog.h"
#include "System/Language.h"
#include "System/LanguageFileReader.h"
#include "System/Log.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::FILE* OpenBytes(std::string& bytes)
{
    return bytes.empty() ? nullptr : fmemopen(bytes.data(), bytes.size(), "rb");
}

void CheckTerminated(const char16_t* text, std::size_t capacity)
{
    if (text == nullptr || Platform::Text::Length(text, capacity) >= capacity)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzSupport::DiscardingLog log;
    System::SetLog(&log);

    // An odd first byte puts a valid start in front, so the search reaches the sections early.
    std::string bytes;
    if (size > 0 && (data[0] & 1) != 0)
        bytes = "\xEF\xBB\xBF@lng\n[Language]\nLangEnglish = x\nLanguage = y\n";
    bytes.append(reinterpret_cast<const char*>(data), size);

    {
        System::Language table;
        System::LanguageFileReader reader;
        std::string copy = bytes;
        if (std::FILE* file = OpenBytes(copy)) {
            reader.Attach(file);
            if (reader.CheckSignature())
                reader.ReadBody(table);
            reader.Close();
        }
        for (int s = 1; s < System::SectionCount; ++s) {
            const auto section = static_cast<System::Section>(s);
            const auto layout = System::LayoutOf(section);
            for (int i = 0; i < layout.entryCount; ++i)
                CheckTerminated(table.Entry(section, i), layout.entrySize);
        }
    }
    {
        System::LanguageNames names;
        System::LanguageFileReader reader;
        std::string copy = bytes;
        if (std::FILE* file = OpenBytes(copy)) {
            reader.Attach(file);
            reader.ReadNames(names);
            if (reader.IsOpen())
                std::abort(); // the header reader closes the file in every case
        }
        CheckTerminated(names.english, System::LanguageNames::Capacity);
        CheckTerminated(names.native, System::LanguageNames::Capacity);
    }
    System::SetLog(nullptr);
    return 0;
}

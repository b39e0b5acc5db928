#include "System/Language.h"

#include "Platform/Text.h"
#include "System/Log.h"

#include <array>
#include <new>

namespace System {

namespace {

struct SectionInfo {
    const char* name;
    SectionLayout layout;
};

// Each numbered section's entries follow the previous section's, in this order; [Midi] is the
// last. The places are worked out from the sizes and counts, so a section that gains entries
// moves the ones after it.
constexpr struct {
    const char* name;
    std::size_t entrySize;
    int entryCount;
} SectionSizes[SectionCount] = {
    {"Language", 256, 0},
    {"Menu", 64, ILanguage::MenuCount},
    {"MenuItems", 64, ILanguage::MenuItemCount},
    {"Toolbar", 64, ILanguage::ToolbarButtonCount},
    {"Tooltip", 256, 4},
    {"StatusInfo", 512, 17},
    {"Dialog", 256, 4},
    {"Control", 256, 96},
    {"Message", 512, 66},
    {"MessageTitle", 256, 27},
    {"Information", 512, 86},
    {"Text", 256, ILanguage::TextCount},
    {"Midi", 128, ILanguage::InstrumentCount},
};

constexpr std::array<SectionInfo, SectionCount> PlaceSections()
{
    std::array<SectionInfo, SectionCount> sections{};
    std::size_t next = 0;
    for (int i = 0; i < SectionCount; ++i) {
        const auto& size = SectionSizes[i];
        sections[static_cast<std::size_t>(i)] = {size.name, {next, size.entrySize, size.entryCount}};
        next += size.entrySize * static_cast<std::size_t>(size.entryCount);
    }
    return sections;
}

constexpr std::array<SectionInfo, SectionCount> Sections = PlaceSections();
static_assert(Sections[SectionCount - 1].layout.base
                  + Sections[SectionCount - 1].layout.entrySize * ILanguage::InstrumentCount
              <= Language::BufferSize);

bool IsValid(Section section) noexcept
{
    const int value = static_cast<int>(section);
    return value >= 0 && value < SectionCount;
}

} // namespace

SectionLayout LayoutOf(Section section) noexcept
{
    return IsValid(section) ? Sections[static_cast<int>(section)].layout : SectionLayout{0, 0, 0};
}

const char* SectionName(Section section) noexcept
{
    return IsValid(section) ? Sections[static_cast<int>(section)].name : nullptr;
}

Language::Language()
    : buffer_(new (std::nothrow) char16_t[BufferSize]())
{
    if (!buffer_)
        Log().Write(System::Error, "Unable to allocate memory for language array in Language class constructor");
}

bool Language::SetEntry(Section section, int index, std::string_view utf8) noexcept
{
    const SectionLayout layout = LayoutOf(section);
    if (!buffer_ || index < 0 || index >= layout.entryCount)
        return false;
    Platform::Text::Utf8ToUtf16(utf8, buffer_.get() + layout.base + layout.entrySize * static_cast<std::size_t>(index),
                                layout.entrySize);
    return true;
}

const char16_t* Language::Entry(Section section, int index) const noexcept
{
    const SectionLayout layout = LayoutOf(section);
    if (!buffer_ || index < 0 || index >= layout.entryCount)
        return nullptr;
    return buffer_.get() + layout.base + layout.entrySize * static_cast<std::size_t>(index);
}

const char16_t* Language::GetMenuTitle(int menu) const noexcept
{
    return Entry(Section::Menu, menu);
}

std::optional<std::u16string> Language::GetMenuItemText(int position) const
{
    const char16_t* text = Entry(Section::MenuItems, position);
    if (text == nullptr)
        return std::nullopt;
    std::u16string item(text);
    item += u'\t';
    item += MenuItemShortcut(position);
    return item;
}

const char16_t* Language::GetToolbarText(int index) const noexcept
{
    return Entry(Section::Toolbar, index);
}

const char16_t* Language::GetDialogTitle(int dialogId) const noexcept
{
    // Key k of [Dialog] names dialog 100 + k and is stored in entry k - 1.
    if (dialogId < FirstDialogId || dialogId > LastDialogId)
        return nullptr;
    return Entry(Section::Dialog, dialogId - FirstDialogId);
}

const char16_t* Language::GetDialogControlText(int controlId) const noexcept
{
    return GetControlText(controlId);
}

const char16_t* Language::GetTooltip(int index) const noexcept
{
    return Entry(Section::Tooltip, index);
}

const char16_t* Language::GetStatusInfo(int index) const noexcept
{
    return Entry(Section::StatusInfo, index);
}

const char16_t* Language::GetControlText(int controlId) const noexcept
{
    // Key k of [Control] names control 1000 + k and is stored in entry k - 1.
    if (controlId < FirstControlId || controlId > LastControlId)
        return nullptr;
    return Entry(Section::Control, controlId - FirstControlId);
}

const char16_t* Language::GetMessage(int index) const noexcept
{
    return Entry(Section::Message, index);
}

const char16_t* Language::GetMessageTitle(int index) const noexcept
{
    return Entry(Section::MessageTitle, index);
}

const char16_t* Language::GetInformation(int index) const noexcept
{
    return Entry(Section::Information, index);
}

const char16_t* Language::GetText(int index) const noexcept
{
    return Entry(Section::Text, index);
}

const char16_t* Language::GetInstrumentName(int index) const noexcept
{
    return Entry(Section::Midi, index);
}

} // namespace System

#pragma once
#include "System/ILanguage.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace System {

/// Sections of a language file, in the order their names are matched.
enum class Section : int {
    Language,
    Menu,
    MenuItems,
    Toolbar,
    Tooltip,
    StatusInfo,
    Dialog,
    Control,
    Message,
    MessageTitle,
    Information,
    Text,
    Midi,
};

constexpr int SectionCount = 13;

/// Where a section's entries lie in the text buffer of a Language (in UTF-16 code units).
struct SectionLayout {
    std::size_t base;
    std::size_t entrySize; // capacity of one entry, terminator included
    int entryCount;
};

/// Layout of a numbered section; [Language] has no entries in the buffer (count 0).
SectionLayout LayoutOf(Section section) noexcept;

/// The section's name as a language file writes it ("MenuItems"); nullptr outside the enum.
const char* SectionName(Section section) noexcept;

/// Text tables read from a language file. One buffer of BufferSize code units holds every
/// entry at a fixed place; an entry the file does not set stays empty (no English fallback).
/// Filled on one thread by the language file reader, then only read (any thread).
class Language final : public ILanguage {
public:
    /// Allocates the buffer with every entry empty. On failure logs "Unable to allocate memory
    /// for language array in Language class constructor" and the object is not usable
    /// (IsUsable() false, every lookup gives nullptr).
    Language();

    bool IsUsable() const noexcept { return buffer_ != nullptr; }

    /// Decodes a UTF-8 value into entry `index` of a numbered section, cutting it (terminated,
    /// never half a character) when it does not fit the entry. Returns false, storing nothing,
    /// for [Language] and for an index outside the section's entries.
    bool SetEntry(Section section, int index, std::string_view utf8) noexcept;
    /// Entry `index` of a numbered section, or nullptr outside the section's entries.
    const char16_t* Entry(Section section, int index) const noexcept;

    bool IsDefault() const noexcept override { return false; }

    const char16_t* GetMenuTitle(int menu) const noexcept override;
    /// The [MenuItems] entry followed by a tab and the item's shortcut.
    std::optional<std::u16string> GetMenuItemText(int position) const override;
    const char16_t* GetToolbarText(int index) const noexcept override;
    const char16_t* GetDialogTitle(int dialogId) const noexcept override;
    const char16_t* GetDialogControlText(int controlId) const noexcept override;

    const char16_t* GetTooltip(int index) const noexcept override;
    const char16_t* GetStatusInfo(int index) const noexcept override;
    const char16_t* GetControlText(int controlId) const noexcept override;
    const char16_t* GetMessage(int index) const noexcept override;
    const char16_t* GetMessageTitle(int index) const noexcept override;
    const char16_t* GetInformation(int index) const noexcept override;
    const char16_t* GetText(int index) const noexcept override;
    const char16_t* GetInstrumentName(int index) const noexcept override;

    static constexpr std::size_t BufferSize = 240640;

private:
    std::unique_ptr<char16_t[]> buffer_;
};

} // namespace System

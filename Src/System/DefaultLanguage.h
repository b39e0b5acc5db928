#pragma once
#include "System/ILanguage.h"

namespace System {

/// The built-in English text tables. Holds no data of its own: every text is a constant of the
/// program. Lookups outside a table give nullptr; the dialogs keep their own English texts.
class DefaultLanguage final : public ILanguage {
public:
    bool IsDefault() const noexcept override { return true; }

    const char16_t* GetMenuTitle(int menu) const noexcept override;
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
};

} // namespace System

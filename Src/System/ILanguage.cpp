#include "System/ILanguage.h"

namespace System {

const char16_t* MenuItemShortcut(int position) noexcept
{
    static constexpr const char16_t* Shortcuts[ILanguage::MenuItemCount] = {
        u"Ctrl+L", u"Ctrl+Q", u"Ctrl+O", u"Ctrl+S", u"Ctrl+A", u"Ctrl+P", u"Ctrl+F1", u"Ctrl+F3", u"Ctrl+D",
    };
    return position >= 0 && position < ILanguage::MenuItemCount ? Shortcuts[position] : nullptr;
}

std::vector<const char16_t*> ToolbarTexts(const ILanguage& language, int count)
{
    std::vector<const char16_t*> texts;
    for (int i = 0; i < count; ++i) {
        const char16_t* text = language.GetToolbarText(i);
        if (text == nullptr)
            break;
        texts.push_back(text);
    }
    return texts;
}

std::vector<const char16_t*> InstrumentList(const ILanguage& language)
{
    std::vector<const char16_t*> names;
    names.reserve(ILanguage::InstrumentCount);
    for (int i = 0; i < ILanguage::InstrumentCount; ++i) {
        const char16_t* name = language.GetInstrumentName(i);
        names.push_back(name != nullptr ? name : u"");
    }
    return names;
}

} // namespace System

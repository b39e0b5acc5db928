// The language files shipped with the program load without a complaint and translate every
// text the program shows.
#include "System/DefaultLanguage.h"
#include "System/LanguageFileReader.h"
#include "Platform/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <utility>

using System::Language;
using System::Section;

namespace {

// Controls whose texts a language file replaces, as ranges of ids: the main window, the Options,
// Sound Settings, Audio Files and Presets pages, the dialog buttons and help line, the step
// sequencer and the About dialog.
constexpr std::pair<int, int> UsedControls[] = {{1001, 1005}, {1020, 1050}, {1055, 1055}, {1060, 1066},
                                                {1070, 1073}, {1080, 1085}, {1090, 1096}};

class ShippedLanguage : public testing::TestWithParam<const char*> {
protected:
    std::string Path() const { return std::string(TOLVANE_LANG_SOURCE_DIR) + "/" + GetParam() + ".lng"; }
};

void ExpectFilled(const Language& table, Section section, const char* what)
{
    const auto layout = System::LayoutOf(section);
    const System::DefaultLanguage english;
    for (int i = 0; i < layout.entryCount; ++i) {
        // Room kept in [Text] for texts to come is empty in English too.
        if (section == Section::Text && Platform::Text::Length(english.GetText(i)) == 0)
            continue;
        const char16_t* text = table.Entry(section, i);
        ASSERT_NE(text, nullptr);
        const std::size_t length = Platform::Text::Length(text, layout.entrySize);
        EXPECT_GT(length, 0u) << what << " key " << i + 1;
        EXPECT_LT(length, layout.entrySize - 1) << what << " key " << i + 1 << " fills its entry: cut?";
    }
}

} // namespace

TEST_P(ShippedLanguage, LoadsWithoutComplaintAndFillsEveryUsedEntry)
{
    TestSupport::ScopedLog log;
    const auto table = System::LoadLanguageFile(Path());
    ASSERT_NE(table, nullptr) << log.Content();
    EXPECT_EQ(log.Content(), "");

    for (Section section : {Section::Menu, Section::MenuItems, Section::Toolbar, Section::Tooltip, Section::StatusInfo,
                            Section::Dialog, Section::Message, Section::MessageTitle, Section::Information,
                            Section::Text, Section::Midi})
        ExpectFilled(*table, section, System::SectionName(section));
    for (const auto& [first, last] : UsedControls)
        for (int id = first; id <= last; ++id)
            EXPECT_GT(Platform::Text::Length(table->GetControlText(id)), 0u) << "control " << id;

    // Every menu item keeps its keyboard mnemonic.
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(table->GetMenuItemText(i)->find(u'&'), std::u16string::npos) << "menu item " << i;

    // It names itself for the chooser, and the build copies it beside the executable.
    System::LanguageNames names;
    ASSERT_TRUE(System::ReadLanguageNames(Path(), names)) << log.Content();
    EXPECT_GT(Platform::Text::Length(names.english), 0u);
    EXPECT_GT(Platform::Text::Length(names.native), 0u);
    EXPECT_EQ(TestSupport::ReadFile(System::LanguageFilePath(GetParam())), TestSupport::ReadFile(Path()));
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, testing::Values("de", "fr"),
                         [](const auto& info) { return std::string(info.param); });

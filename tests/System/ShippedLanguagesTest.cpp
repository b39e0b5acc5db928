// The language files shipped with the program load without a complaint and translate every
// text the program shows.
#include "System/LanguageFileReader.h"
#include "Platform/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using System::Language;
using System::Section;

namespace {

// Controls of the main window and the dialogs whose texts a language file replaces.
constexpr int UsedControls[] = {
    1001, 1002, 1003, 1004, 1005,                                                       // main window
    1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, // Options page
    1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045,             //
    1046, 1047, 1048, 1049, 1050,                                                       // Sound Settings page
    1055,                                                                               // Audio Files page
    1060, 1061, 1062, 1063, 1064, 1065, 1066,                                           // Presets page
    1070, 1071, 1072, 1073,                                                             // dialog buttons, help line
    1080, 1081, 1082, 1083, 1084, 1085,                                                 // step sequencer
    1090, 1091, 1092, 1093, 1094, 1095,                                                 // About dialog
};

class ShippedLanguage : public testing::TestWithParam<const char*> {
protected:
    std::string Path() const { return std::string(TOLVANE_LANG_SOURCE_DIR) + "/" + GetParam() + ".lng"; }
};

void ExpectFilled(const Language& table, Section section, const char* what)
{
    const auto layout = System::LayoutOf(section);
    for (int i = 0; i < layout.entryCount; ++i) {
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
    for (int id : UsedControls)
        EXPECT_GT(Platform::Text::Length(table->GetControlText(id)), 0u) << "control " << id;

    // Every menu item keeps its keyboard mnemonic.
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(table->GetMenuItemText(i)->find(u'&'), std::u16string::npos) << "menu item " << i;
}

TEST_P(ShippedLanguage, NamesItselfForTheChooser)
{
    TestSupport::ScopedLog log;
    System::LanguageNames names;
    ASSERT_TRUE(System::ReadLanguageNames(Path(), names)) << log.Content();
    EXPECT_GT(Platform::Text::Length(names.english), 0u);
    EXPECT_GT(Platform::Text::Length(names.native), 0u);
}

TEST_P(ShippedLanguage, IsCopiedBesideTheExecutable)
{
    EXPECT_EQ(TestSupport::ReadFile(System::LanguageFilePath(GetParam())), TestSupport::ReadFile(Path()));
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, testing::Values("de", "fr"),
                         [](const auto& info) { return std::string(info.param); });

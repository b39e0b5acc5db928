// The text tables: built-in English, tables read from a file, and the current-table holder.
#include "System/CurrentLanguage.h"
#include "System/DefaultLanguage.h"
#include "System/Language.h"
#include "System/LanguageFileReader.h"
#include "Platform/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>

using System::DefaultLanguage;
using System::ILanguage;
using System::Language;
using System::Section;

using TestSupport::Text;

namespace {

// The numbered sections' lookups with the number of entries each holds.
const struct {
    const char* name;
    int count;
    const char16_t* (*lookup)(const ILanguage&, int);
} Sections[] = {
    {"Menu", 3, [](const ILanguage& t, int i) { return t.GetMenuTitle(i); }},
    {"Toolbar", 4, [](const ILanguage& t, int i) { return t.GetToolbarText(i); }},
    {"Tooltip", 4, [](const ILanguage& t, int i) { return t.GetTooltip(i); }},
    {"StatusInfo", 17, [](const ILanguage& t, int i) { return t.GetStatusInfo(i); }},
    {"Message", 66, [](const ILanguage& t, int i) { return t.GetMessage(i); }},
    {"MessageTitle", 27, [](const ILanguage& t, int i) { return t.GetMessageTitle(i); }},
    {"Information", 86, [](const ILanguage& t, int i) { return t.GetInformation(i); }},
    {"Text", ILanguage::TextCount, [](const ILanguage& t, int i) { return t.GetText(i); }},
    {"Midi", 47, [](const ILanguage& t, int i) { return t.GetInstrumentName(i); }},
};

} // namespace

// Both implementations give none outside a table, never a neighbouring table's text.
class OutOfRangeLookup : public testing::TestWithParam<bool> {
protected:
    std::unique_ptr<ILanguage> MakeTable()
    {
        if (GetParam())
            return std::make_unique<DefaultLanguage>();
        auto table = std::make_unique<Language>();
        table->SetEntry(Section::StatusInfo, 0, "status");
        table->SetEntry(Section::MenuItems, 0, "item");
        table->SetEntry(Section::Message, 0, "message");
        table->SetEntry(Section::Tooltip, 0, "tooltip");
        return table;
    }
};

TEST_P(OutOfRangeLookup, GivesNone)
{
    const auto table = MakeTable();
    for (const auto& section : Sections) {
        for (int index : {-1, section.count, section.count + 1, INT_MIN, INT_MAX})
            EXPECT_EQ(section.lookup(*table, index), nullptr) << section.name << " " << index;
        EXPECT_NE(section.lookup(*table, section.count - 1), nullptr) << section.name;
    }
    for (int id : {1000, 1097, INT_MIN, INT_MAX}) {
        EXPECT_EQ(table->GetControlText(id), nullptr) << id;
        EXPECT_EQ(table->GetDialogControlText(id), nullptr) << id;
    }
    for (int id : {100, 105, 0, INT_MIN, INT_MAX})
        EXPECT_EQ(table->GetDialogTitle(id), nullptr) << id;
    EXPECT_FALSE(table->GetMenuItemText(ILanguage::MenuItemCount).has_value());
    EXPECT_FALSE(table->GetMenuItemText(-1).has_value());
}

INSTANTIATE_TEST_SUITE_P(BothTables, OutOfRangeLookup, testing::Bool(),
                         [](const auto& info) { return info.param ? "BuiltIn" : "FromFile"; });

TEST(FileTable, EntriesTheFileLeftOutAreEmptyAndKeysCountFromTheFirstId)
{
    Language table;
    ASSERT_TRUE(table.IsUsable());
    EXPECT_EQ(Text(table.GetMenuTitle(1)), u"");
    EXPECT_EQ(table.GetMenuItemText(1), u"\tCtrl+Q");
    EXPECT_EQ(Text(System::InstrumentList(table).at(46)), u"");

    table.SetEntry(Section::Dialog, 0, "Sprache");
    table.SetEntry(Section::Control, 0, "Start!");
    table.SetEntry(Section::Control, 94, "Kaufen");
    table.SetEntry(Section::MenuItems, 7, "Ü&ber");
    EXPECT_EQ(Text(table.GetDialogTitle(101)), u"Sprache");
    EXPECT_EQ(Text(table.GetControlText(1001)), u"Start!");
    EXPECT_EQ(Text(table.GetDialogControlText(1095)), u"Kaufen");
    EXPECT_EQ(table.GetMenuItemText(7), u"Ü&ber\tCtrl+F3");
}

TEST(FileTable, EntriesNeverSpillIntoAnotherSectionAndOverlongValuesAreCut)
{
    Language table;
    EXPECT_FALSE(table.SetEntry(Section::Tooltip, 4, "spill")); // [Tooltip] has four entries
    EXPECT_FALSE(table.SetEntry(Section::Control, 96, "spill"));
    EXPECT_FALSE(table.SetEntry(Section::Midi, 100, "spill"));
    EXPECT_FALSE(table.SetEntry(Section::Language, 0, "spill"));
    EXPECT_FALSE(table.SetEntry(Section::Menu, -1, "spill"));
    EXPECT_EQ(Text(table.GetStatusInfo(0)), u"");
    EXPECT_EQ(Text(table.GetMessage(0)), u"");
    EXPECT_EQ(Text(table.GetMenuTitle(0)), u"");

    // Overlong values are cut and stay terminated: [Menu] entries hold 63 code units and a
    // terminator, and the neighbour must stay intact.
    table.SetEntry(Section::Menu, 1, "neighbour");
    EXPECT_TRUE(table.SetEntry(Section::Menu, 0, std::string(100, 'x')));
    EXPECT_EQ(Text(table.GetMenuTitle(0)), std::u16string(63, u'x'));
    EXPECT_EQ(Text(table.GetMenuTitle(1)), u"neighbour");

    // A character outside the basic plane that does not fit whole is left out whole.
    std::string text(62, 'a');
    text += "\xF0\x9D\x84\x9E"; // U+1D11E, two code units
    table.SetEntry(Section::Menu, 0, text);
    EXPECT_EQ(Text(table.GetMenuTitle(0)), std::u16string(62, u'a'));
}

TEST(CurrentTable, ReadersKeepTheOldTableAliveThroughSwitchesOnAnotherThread)
{
    EXPECT_TRUE(System::CurrentLanguage()->IsDefault());
    auto german = std::make_shared<Language>();
    german->SetEntry(Section::Message, 24, "Fehler");
    std::weak_ptr<Language> watch = german;
    System::SetCurrentLanguage(std::move(german));

    const auto reader = System::CurrentLanguage();
    System::SetCurrentLanguage(nullptr); // the window thread switches back to English
    EXPECT_EQ(System::CurrentLanguage(), System::BuiltInLanguage());
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(Text(reader->GetMessage(24)), u"Fehler");

    // Readers on another thread survive repeated switches.
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::thread other([&] {
        while (!done.load()) {
            const auto table = System::CurrentLanguage();
            const char16_t* text = table->GetMessage(24);
            if (text != nullptr && Platform::Text::Length(text) < 512)
                reads.fetch_add(1);
        }
    });
    for (int i = 0; i < 200; ++i) {
        auto table = std::make_shared<Language>();
        table->SetEntry(Section::Message, 24, "Unbekannter Fehler");
        System::SetCurrentLanguage(std::move(table));
        System::SetCurrentLanguage(nullptr);
    }
    done = true;
    other.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_TRUE(System::CurrentLanguage()->IsDefault());
}

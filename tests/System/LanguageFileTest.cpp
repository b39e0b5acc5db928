// The language file readers: signature, body, header, section headers and key lines.
#include "System/Language.h"
#include "System/LanguageFileReader.h"
#include "Platform/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using System::Language;
using System::LanguageFileReader;
using System::LanguageNames;
using System::Section;

using TestSupport::Text;

namespace {

const std::string Bom = "\xEF\xBB\xBF";
const std::string Head = Bom + "@lng\n[Language]\nLangEnglish = German\nLanguage = Deutsch\n"; // lines 1..4

// The messages of the log's entries, without date, time and level.
std::vector<std::string> Messages(const TestSupport::ScopedLog& log)
{
    std::vector<std::string> messages;
    for (const std::string& line : log.Lines()) {
        const auto level = line.find("  [Error]  ");
        messages.push_back(level == std::string::npos ? "<" + line + ">" : line.substr(level + 11));
    }
    return messages;
}

// Reads a language file the way the program does: the whole file into a table, or (namesOnly)
// the names in its header.
struct Load {
    explicit Load(const std::string& content, bool namesOnly = false)
    {
        TestSupport::WriteFile(folder / "xx.lng", content);
        LanguageFileReader reader;
        ok = reader.Open(folder / "xx.lng")
            && (namesOnly ? reader.ReadNames(names) : reader.CheckSignature() && reader.ReadBody(table));
        lastLine = reader.LineNumber();
        closed = !reader.IsOpen();
        messages = Messages(log);
    }
    TestSupport::ScopedLog log;
    TestSupport::TempFolder folder;
    Language table;
    LanguageNames names;
    bool ok = false;
    bool closed = false;
    int lastLine = 0;
    std::vector<std::string> messages;
};

} // namespace

TEST(Signature, AcceptsTheSignatureLineAfterAnyThreeBytes)
{
    for (const std::string& start : {Bom + "@lng\n", Bom + "@lng\r\n", std::string("xyz@lng\n")}) {
        Load load(start + "[Language]\n[Menu]\n1 = Datei\n");
        EXPECT_TRUE(load.ok) << start;
        EXPECT_EQ(Text(load.table.GetMenuTitle(0)), u"Datei");
        EXPECT_TRUE(load.messages.empty());
    }
}

TEST(SectionHeader, NamesIgnoreCaseAndMayBeIndentedAndFollowedByText)
{
    Load load(Head + "[message]\n8 = one\n  [MENU] ignored text\n1 = Datei\n\t[Midi]\n2 = Kleine Trommel\n");
    ASSERT_TRUE(load.ok) << testing::PrintToString(load.messages);
    EXPECT_EQ(Text(load.table.GetMessage(7)), u"one");
    EXPECT_EQ(Text(load.table.GetMenuTitle(0)), u"Datei");
    EXPECT_EQ(Text(load.table.GetInstrumentName(1)), u"Kleine Trommel");
}

TEST(KeyLines, CommentsEscapesAndCuts)
{
    Load load(Head + "[Message]\n"
                     "# a comment\n"
                     "\n"
                     "   \t\n"
                     "  8 = Your custom pattern\\nis wrong\n"
                     "3 = Close # window\n"
                     "4 =value\there\n"
                     "5==  = spaces and equals\n"
                     "6 = back\\slash\\\n"
                     "7 = first\n"
                     "7 = second\n"
                     "[Text]\n1 = Métronome ♩\n[Message]\n9 = again\n[Midi]\n1 = Große Trommel\n2 = \xFF broken\n");
    ASSERT_TRUE(load.ok) << testing::PrintToString(load.messages);
    EXPECT_EQ(Text(load.table.GetMessage(7)), u"Your custom pattern\nis wrong");
    EXPECT_EQ(Text(load.table.GetMessage(2)), u"Close ");
    EXPECT_EQ(Text(load.table.GetMessage(3)), u"value");
    EXPECT_EQ(Text(load.table.GetMessage(4)), u"spaces and equals");
    EXPECT_EQ(Text(load.table.GetMessage(5)), u"back\\slash\\");
    EXPECT_EQ(Text(load.table.GetMessage(6)), u"second"); // a later entry wins
    EXPECT_EQ(Text(load.table.GetMessage(8)), u"again");  // sections may come back
    EXPECT_EQ(Text(load.table.GetText(0)), u"Métronome ♩"); // values are UTF-8
    EXPECT_EQ(Text(load.table.GetInstrumentName(0)), u"Große Trommel");
    EXPECT_EQ(Text(load.table.GetInstrumentName(1)), u"\uFFFD broken");
    EXPECT_EQ(Text(load.table.GetMessage(0)), u"");

    // The longest key and value are read, and the value cut to its entry.
    Load longest(Head + "[Message]\n" + std::string(62, '0') + "1 = " + std::string(769, 'v') + "\\n\\n\n");
    EXPECT_TRUE(longest.ok) << testing::PrintToString(longest.messages);
    EXPECT_EQ(Platform::Text::Length(longest.table.GetMessage(0)), 511u); // cut to the entry
}

TEST(KeyLines, KeysPastASectionsEntriesAreAcceptedAndGoNowhere)
{
    Load load(Head + "[Tooltip]\n5 = spill\n101 = spill\n[Control]\n82 = &Spielen\n97 = spill\n"
                     "[Menu]\n4 = spill\n[Midi]\n48 = spill\n101 = spill\n");
    ASSERT_TRUE(load.ok) << testing::PrintToString(load.messages);
    EXPECT_EQ(Text(load.table.GetStatusInfo(0)), u"");
    EXPECT_EQ(Text(load.table.GetMessage(0)), u"");
    EXPECT_EQ(load.table.GetMenuItemText(0), u"\tCtrl+L");
    EXPECT_EQ(Text(load.table.GetControlText(1082)), u"&Spielen");
    EXPECT_EQ(load.table.GetControlText(1097), nullptr);
}

// The first fault ends the read with one message naming it and its line; what came before
// stays read.
TEST(Structure, AFaultStopsTheReadWithItsMessageAndLine)
{
    const std::string crLfHead = Bom + "@lng\r\n[Language]\r\nLangEnglish = German\r\n";
    const std::string endOfFile = "Unexpected language file structure. Reached end of file when expected another "
                                  "file section.";
    const std::string signature = "' found in language file. File must be saved in UTF-8 format, with '@lng' "
                                  "followed by a new line as the first characters in the file. ";
    const auto inMessages
        = [](const std::string& line) { return Head + "[Message]\n1 = kept\n" + line + "5 = after\n"; };
    const std::string key63 = std::string(62, '0') + "1";
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {Bom + "@lng \n[Language]\n", "Invalid file signature '@lng " + signature},
        {"@lng\n[Language]\n", "Invalid file signature 'g" + signature}, // no byte-order mark: "@ln" is skipped
        {Bom + std::string(40, 'x') + "\n",
         "Invalid file signature '" + std::string(31, 'x') + signature}, // 31 bytes read
        {Head + "[Messages]\n", "Invalid section 'Messages' found in line 5 of language file"},
        {Head + "[Menu\n", "Expected closing square bracket at end of section 'Menu' in line 5 of language file"},
        {Head, endOfFile},
        {inMessages("0 = x\n"), "Unexpected key 0 found in line 7 of language file"},
        {inMessages("abc = x\n"), "Unexpected key abc found in line 7 of language file"},
        {inMessages("99999999999999999999 = x\n"),
         "Unexpected key 99999999999999999999 found in line 7 of language file"},
        {inMessages(key63 + "0 = x\n"), "Invalid length for key on line 7 in language file"},
        {inMessages("1 value\n"), "Expected equals sign after key '1' on line 7 in language file."},
        {inMessages("1\t= value\n"), "Expected equals sign after key '1' on line 7 in language file."},
        {inMessages("1 = \n"), "No value entered for key 1 on line 7 in language file"},
        {inMessages("4 = " + std::string(770, 'v') + "\\n\\n\n"),
         "Invalid length for key 4 on line 7 in language file"},
        // A later [Language] section is read as a numbered one.
        {Head + "[Menu]\n1 = Datei\n[Language]\nLangEnglish = German\n",
         "Unexpected key LangEnglish found in line 8 of language file"},
        {crLfHead + "[Message]\r\n1 = kept\r\n2 = Extras\r\n#\r\n3 =\r\n",
         "No value entered for key 3 on line 8 in language file"},
    };
    for (const auto& c : cases) {
        Load load(c.file);
        EXPECT_FALSE(load.ok) << c.message;
        EXPECT_EQ(load.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(Text(load.table.GetMessage(4)), u"") << c.message; // nothing after the fault is read
        if (c.file.find("1 = kept") != std::string::npos) {
            EXPECT_EQ(Text(load.table.GetMessage(0)), u"kept") << c.message;
        }
    }
    // A comment is skipped whole, however long (899 bytes are read at a time).
    for (const std::size_t length : {897u, 898u, 100000u}) {
        Load comment(Head + "[Menu]\n#" + std::string(length, '-') + "\n1 = Datei\n");
        EXPECT_TRUE(comment.ok) << length << testing::PrintToString(comment.messages);
        EXPECT_EQ(comment.lastLine, 7) << length;
    }
}

TEST(HeaderReader, FindsBothNamesInEitherOrderCutToTheirFieldsAndClosesTheFile)
{
    Load names(Bom + "@lng\n  [language]\n# names\nlanguage = Français\nLANGENGLISH = French\n[Menu]\n1 = x\n", true);
    EXPECT_TRUE(names.ok) << testing::PrintToString(names.messages);
    EXPECT_TRUE(names.closed);
    EXPECT_EQ(Text(names.names.english), u"French");
    EXPECT_EQ(Text(names.names.native), u"Français");

    // Names are cut to their fields.
    Load cut(Head.substr(0, Head.find("LangEnglish")) + "LangEnglish = " + std::string(600, 'n') + "\nLanguage = x\n", true);
    EXPECT_TRUE(cut.ok);
    EXPECT_EQ(Platform::Text::Length(cut.names.english, LanguageNames::Capacity), 255u);
}

TEST(HeaderReader, Failures)
{
    const struct {
        std::string file;
        std::vector<std::string> messages;
    } cases[] = {
        {Bom + "@lng\n[Menu]\n1 = x\n",
         {"Current section 'Menu' from line 2 of language file doesn't match expected section 'Language'"}},
        {Bom + "@lng\n\n[Nonsense]\n", {"Invalid section 'Nonsense' found in line 3 of language file"}},
        {Bom + "@lng\n[Language]\nLanguage = Deutsch\n", {}}, // no English name: left out silently
        {Bom + "@lng\n[Language]\nLangEnglish = German\n", {}},
        {Bom + "@lng\n[Language]\nLangEnglish German\n",
         {"Expected equals sign after key 'LangEnglish' on line 3 in language file."}},
        {Bom + "@lng\n[Language]\nLanguage = Deutsch\nx =\nLangEnglish = German\n",
         {"No value entered for key x on line 4 in language file"}},
        // The second search counts lines from the header.
        {Bom + "@lng\n[Language]\nLangEnglish = German\n\nbad line\nLanguage = Deutsch\n",
         {"Expected equals sign after key 'bad' on line 5 in language file."}},
    };
    for (const auto& c : cases) {
        Load names(c.file, true);
        EXPECT_FALSE(names.ok) << c.file;
        EXPECT_TRUE(names.closed);
        EXPECT_EQ(names.messages, c.messages) << c.file;
    }
}

// A missing file fails without a log entry; a pipe is refused at once (what else the file
// reader refuses is its own test).
TEST(LoadLanguageFile, MissingPipedAndHugeFilesFail)
{
    TestSupport::TempFolder folder;
    ASSERT_EQ(mkfifo((folder / "fifo.lng").c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {folder / "none.lng", ""},
        {folder / "fifo.lng", "fifo.lng is not a regular file; refused"},
    };
    for (const auto& [path, message] : cases) {
        TestSupport::ScopedLog log;
        EXPECT_EQ(System::LoadLanguageFile(path), nullptr) << path;
        LanguageNames names;
        EXPECT_FALSE(System::ReadLanguageNames(path, names)) << path;
        const auto messages = Messages(log);
        ASSERT_EQ(messages.size(), message.empty() ? 0u : 2u) << log.Content();
        EXPECT_TRUE(message.empty() || messages[0].find(message) != std::string::npos) << messages[0];
    }
    EXPECT_NE(System::LanguageFilePath("de").find("/Lang/de.lng"), std::string::npos);
}

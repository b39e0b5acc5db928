#include "Configuration/PresetTree.h"
#include "Platform/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

using Configuration::ConfigurationData;
using Configuration::PresetTree;

namespace {

std::unique_ptr<ConfigurationData> Record(const std::u16string& name, int bpm)
{
    auto record = std::make_unique<ConfigurationData>();
    Platform::Text::Copy(record->Name, name);
    record->Bpm = bpm;
    return record;
}

// Walks the links: checks every Balance against the real heights and collects the records
// in order. Returns the subtree's height.
int Walk(const ConfigurationData* node, std::vector<const ConfigurationData*>& inOrder, bool& balanced)
{
    if (node == nullptr)
        return 0;
    const int left = Walk(node->Left, inOrder, balanced);
    inOrder.push_back(node);
    const int right = Walk(node->Right, inOrder, balanced);
    if (node->Balance != right - left || node->Balance < -1 || node->Balance > 1)
        balanced = false;
    return 1 + std::max(left, right);
}

// The tree must hold exactly the model's names, in the model's (ordinal) order, each with
// the settings stored under it, and be height-balanced at every node.
bool MatchesModel(const PresetTree& tree, const std::map<std::u16string, int>& model)
{
    std::vector<const ConfigurationData*> inOrder;
    bool balanced = true;
    Walk(tree.Root(), inOrder, balanced);
    std::vector<std::pair<std::u16string, int>> held;
    for (const ConfigurationData* node : inOrder)
        held.emplace_back(node->Name, node->Bpm);
    return balanced && tree.Count() == static_cast<int>(model.size())
           && held == std::vector<std::pair<std::u16string, int>>(model.begin(), model.end());
}

} // namespace

TEST(PresetTree, StaysOrderedAndBalancedUnderRandomInsertionsAndRemovals)
{
    std::mt19937 random(20261206);
    // Short names over a small alphabet: many repeats, many names that begin other names,
    // upper and lower case, and a code unit above 0x7FFF to catch signed comparisons.
    const std::u16string alphabet = u"AaBb z\u00E9\uFF21";
    const auto randomName = [&] {
        std::u16string name;
        const int length = static_cast<int>(random() % 5);
        for (int i = 0; i < length; ++i)
            name += alphabet[random() % alphabet.size()];
        return name;
    };

    PresetTree tree;
    std::map<std::u16string, int> model;
    for (int step = 0; step < 6000; ++step) {
        const std::u16string name = randomName();
        // Insertions outweigh removals in the first half, then the tree drains again.
        const bool insert = random() % 100 < (step < 3000 ? 65u : 35u);
        if (insert) {
            const int bpm = 10 + static_cast<int>(random() % 391);
            auto record = Record(name, bpm);
            const bool inserted = tree.Insert(record) != nullptr;
            EXPECT_EQ(inserted, model.emplace(name, bpm).second) << "step " << step;
            EXPECT_EQ(record == nullptr, inserted) << "a refused record stays with the caller";
        } else {
            EXPECT_EQ(tree.Remove(name.c_str()), model.erase(name) == 1) << "step " << step;
        }
        ASSERT_TRUE(MatchesModel(tree, model)) << "after step " << step;
    }
}

TEST(PresetTree, FindsOnlyExactNamesInOrdinalOrder)
{
    PresetTree tree;
    for (const char16_t* name : {u"blues", u"Rock", u"Rock2", u"", u"rock"}) {
        auto record = Record(name, 100);
        ASSERT_NE(tree.Insert(record), nullptr);
    }
    EXPECT_NE(tree.Find(u"Rock"), nullptr);
    EXPECT_EQ(tree.Find(u"ROCK"), nullptr);
    EXPECT_EQ(tree.Find(u"Roc"), nullptr);
    EXPECT_NE(tree.Find(u""), nullptr);

    std::vector<std::u16string> names;
    tree.ForEach([&](const ConfigurationData& record) { names.emplace_back(record.Name); });
    const std::vector<std::u16string> expected{u"", u"Rock", u"Rock2", u"blues", u"rock"};
    EXPECT_EQ(names, expected);
    tree.Clear();
    EXPECT_EQ(tree.Root(), nullptr);
    EXPECT_EQ(tree.Count(), 0);
}

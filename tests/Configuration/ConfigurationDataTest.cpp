#include "Configuration/ConfigurationData.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

using Configuration::ConfigurationData;

namespace {

// The settings are every byte before the tree links.
constexpr std::size_t SettingsBytes = offsetof(ConfigurationData, Balance);

bool SameSettings(const ConfigurationData& a, const ConfigurationData& b)
{
    return std::memcmp(&a, &b, SettingsBytes) == 0;
}

// Every settings byte set to something no default has; each text fills its field to the last
// unit before its terminator.
ConfigurationData NonDefaults()
{
    ConfigurationData data;
    auto* bytes = reinterpret_cast<unsigned char*>(&data);
    for (std::size_t i = 0; i < SettingsBytes; ++i)
        bytes[i] = static_cast<unsigned char>(0x21 + i % 61);
    data.Name[Configuration::NameCapacity - 1] = data.Description[Configuration::DescriptionCapacity - 1] = 0;
    data.CustomPattern[Configuration::CustomPatternCapacity - 1] = 0;
    data.CustomRhythm[Configuration::CustomRhythmCapacity - 1] = 0;
    for (auto& file : data.File)
        file[Configuration::PathCapacity - 1] = 0;
    return data;
}

} // namespace

// Assignment copies every setting, full-length texts included, and keeps the target's place in
// the preset tree (also when assigned to itself); a copy-constructed record is in no tree.
TEST(SettingsRecord, CopiesTakeEverySettingButNoTreeLinks)
{
    ConfigurationData source = NonDefaults();
    ConfigurationData curveOwner, left, right;
    source.Balance = -1;
    source.Left = &curveOwner;

    ConfigurationData node;
    node.Balance = 1;
    node.Left = &left;
    node.Right = &right;
    node = source;
    EXPECT_TRUE(SameSettings(node, source));
    EXPECT_EQ(node.Balance, 1);
    EXPECT_EQ(node.Left, &left);
    EXPECT_EQ(node.Right, &right);

    const ConfigurationData& alias = node;
    node = alias;
    EXPECT_TRUE(SameSettings(node, source));
    EXPECT_EQ(node.Left, &left);

    const ConfigurationData copy(source);
    EXPECT_TRUE(SameSettings(copy, source));
    EXPECT_EQ(copy.Left, nullptr);
    EXPECT_EQ(copy.Balance, 0);
}

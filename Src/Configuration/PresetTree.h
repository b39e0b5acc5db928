#pragma once
#include "Configuration/ConfigurationData.h"

#include <functional>
#include <memory>

namespace Configuration {

/// The presets, kept in a height-balanced (AVL) search tree whose nodes are the records
/// themselves, linked through their Balance, Left and Right fields. Balance is the height of
/// the right subtree minus that of the left one and stays within -1..+1. Ordered by Name,
/// compared ordinally (code unit by code unit, unsigned, case-sensitive); names are unique.
/// The tree owns its records. Not thread-safe: the GUI thread only.
class PresetTree {
public:
    PresetTree() = default;
    ~PresetTree();
    PresetTree(const PresetTree&) = delete;
    PresetTree& operator=(const PresetTree&) = delete;

    /// Links node into the tree under node->Name and takes it over; returns the record now
    /// in the tree. When the name is taken, node is left with the caller and nullptr is
    /// returned.
    ConfigurationData* Insert(std::unique_ptr<ConfigurationData>& node);

    /// The record with exactly this name, or nullptr.
    ConfigurationData* Find(const char16_t* name) const;

    /// Unlinks and frees the record with this name. A record with two children takes the
    /// settings of its in-order predecessor, which is unlinked instead. False when absent.
    bool Remove(const char16_t* name);

    /// Calls visit for every record in ascending name order.
    void ForEach(const std::function<void(const ConfigurationData&)>& visit) const;

    /// Frees every record.
    void Clear();

    /// The root record (nullptr when empty), for walking the links.
    const ConfigurationData* Root() const { return root_; }
    int Count() const { return count_; }

private:
    ConfigurationData* root_ = nullptr;
    int count_ = 0;
};

} // namespace Configuration

#include "Configuration/PresetTree.h"

#include "Platform/Text.h"

#include <algorithm>

namespace Configuration {

namespace {

using Node = ConfigurationData;

// Rotations keep every Balance right: with b the child that moves up, the new balances
// follow from the old ones without knowing any height.
Node* RotateLeft(Node* a)
{
    Node* b = a->Right;
    a->Right = b->Left;
    b->Left = a;
    a->Balance = static_cast<std::int16_t>(a->Balance - 1 - std::max<int>(b->Balance, 0));
    b->Balance = static_cast<std::int16_t>(b->Balance - 1 + std::min<int>(a->Balance, 0));
    return b;
}

Node* RotateRight(Node* a)
{
    Node* b = a->Left;
    a->Left = b->Right;
    b->Right = a;
    a->Balance = static_cast<std::int16_t>(a->Balance + 1 - std::min<int>(b->Balance, 0));
    b->Balance = static_cast<std::int16_t>(b->Balance + 1 + std::max<int>(a->Balance, 0));
    return b;
}

// Restores a node whose balance reached +2 or -2.
void Rebalance(Node*& node)
{
    if (node->Balance > 1) {
        if (node->Right->Balance < 0)
            node->Right = RotateRight(node->Right);
        node = RotateLeft(node);
    } else if (node->Balance < -1) {
        if (node->Left->Balance > 0)
            node->Left = RotateLeft(node->Left);
        node = RotateRight(node);
    }
}

// Each returns whether the subtree at node grew (insertion) or shrank (removal) in height.

bool InsertAt(Node*& node, Node* fresh, Node*& inserted)
{
    if (node == nullptr) {
        fresh->Balance = 0;
        fresh->Left = nullptr;
        fresh->Right = nullptr;
        node = fresh;
        inserted = fresh;
        return true;
    }
    const int order = Platform::Text::CompareOrdinal(fresh->Name, node->Name);
    if (order == 0)
        return false;
    if (order < 0) {
        if (!InsertAt(node->Left, fresh, inserted))
            return false;
        --node->Balance;
    } else {
        if (!InsertAt(node->Right, fresh, inserted))
            return false;
        ++node->Balance;
    }
    if (node->Balance == 0)
        return false;
    if (node->Balance == 1 || node->Balance == -1)
        return true;
    Rebalance(node);
    return false;
}

bool LeftShrank(Node*& node)
{
    ++node->Balance;
    if (node->Balance == 1)
        return false;
    if (node->Balance == 0)
        return true;
    const bool heightKept = node->Right->Balance == 0;
    Rebalance(node);
    return !heightKept;
}

bool RightShrank(Node*& node)
{
    --node->Balance;
    if (node->Balance == -1)
        return false;
    if (node->Balance == 0)
        return true;
    const bool heightKept = node->Left->Balance == 0;
    Rebalance(node);
    return !heightKept;
}

// Unlinks the node with the highest name of the subtree and hands it back in detached.
bool DetachHighest(Node*& node, Node*& detached)
{
    if (node->Right != nullptr)
        return DetachHighest(node->Right, detached) && RightShrank(node);
    detached = node;
    node = node->Left;
    return true;
}

bool RemoveAt(Node*& node, const char16_t* name, bool& removed)
{
    if (node == nullptr)
        return false;
    const int order = Platform::Text::CompareOrdinal(name, node->Name);
    if (order < 0)
        return RemoveAt(node->Left, name, removed) && LeftShrank(node);
    if (order > 0)
        return RemoveAt(node->Right, name, removed) && RightShrank(node);

    removed = true;
    if (node->Left == nullptr || node->Right == nullptr) {
        Node* gone = node;
        node = node->Left != nullptr ? node->Left : node->Right;
        delete gone;
        return true;
    }
    // Two children: this node takes the settings of its in-order predecessor, whose own
    // node leaves the tree. Assignment copies the settings and keeps this node's links.
    Node* predecessor = nullptr;
    const bool shrank = DetachHighest(node->Left, predecessor);
    *node = *predecessor;
    delete predecessor;
    return shrank && LeftShrank(node);
}

void VisitInOrder(const Node* node, const std::function<void(const ConfigurationData&)>& visit)
{
    while (node != nullptr) {
        VisitInOrder(node->Left, visit);
        visit(*node);
        node = node->Right;
    }
}

void FreeAll(Node* node)
{
    while (node != nullptr) {
        FreeAll(node->Left);
        Node* right = node->Right;
        delete node;
        node = right;
    }
}

} // namespace

PresetTree::~PresetTree()
{
    Clear();
}

ConfigurationData* PresetTree::Insert(std::unique_ptr<ConfigurationData>& node)
{
    ConfigurationData* inserted = nullptr;
    InsertAt(root_, node.get(), inserted);
    if (inserted == nullptr)
        return nullptr;
    node.release();
    ++count_;
    return inserted;
}

ConfigurationData* PresetTree::Find(const char16_t* name) const
{
    ConfigurationData* node = root_;
    while (node != nullptr) {
        const int order = Platform::Text::CompareOrdinal(name, node->Name);
        if (order == 0)
            return node;
        node = order < 0 ? node->Left : node->Right;
    }
    return nullptr;
}

bool PresetTree::Remove(const char16_t* name)
{
    bool removed = false;
    RemoveAt(root_, name, removed);
    if (removed)
        --count_;
    return removed;
}

void PresetTree::ForEach(const std::function<void(const ConfigurationData&)>& visit) const
{
    VisitInOrder(root_, visit);
}

void PresetTree::Clear()
{
    FreeAll(root_);
    root_ = nullptr;
    count_ = 0;
}

} // namespace Configuration

// Elements kept in the order of their keys, each reachable by its key and by
// its position in that order: finding, inserting and erasing an element and
// reaching the n-th one all take logarithmic time, whatever the count (the
// sub-keys of a registry key, which are enumerated by index in sorted order).
//
// A treap: a binary search tree by key whose nodes also carry a priority
// drawn at random (every parent's is at least its children's) and the size of
// their subtree. The priorities come from a fixed sequence, so the shape of a
// tree depends only on what was done to it, and its height is logarithmic in
// the count with overwhelming probability whatever order the keys come in.
// Recursion goes only as deep as the tree is high; freeing a tree does not
// recurse at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace qm {

// `KeyOf` gives an element's key (const reference); keys are compared with <.
template <typename T, typename KeyOf>
class OrderedIndex {
public:
    using Key = std::remove_cv_t<std::remove_reference_t<decltype(KeyOf()(std::declval<const T&>()))>>;

    OrderedIndex() = default;
    ~OrderedIndex() { Clear(); }
    OrderedIndex(const OrderedIndex&) = delete;
    OrderedIndex& operator=(const OrderedIndex&) = delete;

    std::size_t Size() const { return SizeOf(root_); }
    bool Empty() const { return root_ == nullptr; }

    // The element whose key equals `key`, or null.
    T* Find(const Key& key) {
        for (Node* n = root_; n != nullptr;) {
            const Key& k = KeyOf()(n->value);
            if (key < k) n = n->left;
            else if (k < key) n = n->right;
            else return &n->value;
        }
        return nullptr;
    }

    // Adds `value`; its key must not be in the index yet.
    void Insert(T value) {
        Node* node = new Node{std::move(value), nullptr, nullptr, NextPriority(), 1};
        root_ = InsertNode(root_, node);
    }

    // Removes the element whose key equals `key`; false when there is none.
    bool Erase(const Key& key) {
        bool erased = false;
        root_ = EraseNode(root_, key, erased);
        return erased;
    }

    // The element at `index` in key order; `index` must be below Size().
    T& At(std::size_t index) {
        Node* n = root_;
        for (;;) {
            const std::size_t left = SizeOf(n->left);
            if (index < left) {
                n = n->left;
            } else if (index == left) {
                return n->value;
            } else {
                index -= left + 1;
                n = n->right;
            }
        }
    }

    // Calls `visit` with every element in key order.
    template <typename Visit>
    void ForEach(Visit visit) const {
        std::vector<const Node*> path;
        for (const Node* n = root_; n != nullptr || !path.empty();) {
            if (n != nullptr) {
                path.push_back(n);
                n = n->left;
                continue;
            }
            n = path.back();
            path.pop_back();
            visit(n->value);
            n = n->right;
        }
    }

    // Moves every element out, in key order, and leaves the index empty.
    std::vector<T> TakeAll() {
        std::vector<T> out;
        out.reserve(Size());
        std::vector<Node*> path;
        for (Node* n = root_; n != nullptr || !path.empty();) {
            if (n != nullptr) {
                path.push_back(n);
                n = n->left;
                continue;
            }
            n = path.back();
            path.pop_back();
            out.push_back(std::move(n->value));
            Node* right = n->right;
            delete n;
            n = right;
        }
        root_ = nullptr;
        return out;
    }

    void Clear() {
        std::vector<Node*> pending;
        if (root_ != nullptr) pending.push_back(root_);
        root_ = nullptr;
        while (!pending.empty()) {
            Node* n = pending.back();
            pending.pop_back();
            if (n->left != nullptr) pending.push_back(n->left);
            if (n->right != nullptr) pending.push_back(n->right);
            delete n;
        }
    }

private:
    // Priority and size in 32 bits each: a node of a small element fits a
    // smaller allocation, and no index holds 4 billion elements.
    struct Node {
        T value;
        Node* left;
        Node* right;
        std::uint32_t priority;
        std::uint32_t size;
    };

    static std::size_t SizeOf(const Node* n) { return n == nullptr ? 0 : n->size; }
    static void Update(Node* n) { n->size = static_cast<std::uint32_t>(1 + SizeOf(n->left) + SizeOf(n->right)); }

    // Splits `n` into the keys below `key` and the rest.
    static void Split(Node* n, const Key& key, Node*& below, Node*& rest) {
        if (n == nullptr) {
            below = rest = nullptr;
            return;
        }
        if (KeyOf()(n->value) < key) {
            Split(n->right, key, n->right, rest);
            below = n;
        } else {
            Split(n->left, key, below, n->left);
            rest = n;
        }
        Update(n);
    }

    // Joins two trees, every key of `a` below every key of `b`.
    static Node* Merge(Node* a, Node* b) {
        if (a == nullptr) return b;
        if (b == nullptr) return a;
        if (a->priority >= b->priority) {
            a->right = Merge(a->right, b);
            Update(a);
            return a;
        }
        b->left = Merge(a, b->left);
        Update(b);
        return b;
    }

    static Node* InsertNode(Node* n, Node* node) {
        if (n == nullptr) return node;
        if (node->priority > n->priority) {
            Split(n, KeyOf()(node->value), node->left, node->right);
            Update(node);
            return node;
        }
        if (KeyOf()(node->value) < KeyOf()(n->value)) n->left = InsertNode(n->left, node);
        else n->right = InsertNode(n->right, node);
        Update(n);
        return n;
    }

    static Node* EraseNode(Node* n, const Key& key, bool& erased) {
        if (n == nullptr) return nullptr;
        const Key& k = KeyOf()(n->value);
        if (key < k) {
            n->left = EraseNode(n->left, key, erased);
        } else if (k < key) {
            n->right = EraseNode(n->right, key, erased);
        } else {
            Node* joined = Merge(n->left, n->right);
            delete n;
            erased = true;
            return joined;
        }
        Update(n);
        return n;
    }

    // splitmix64: a fixed sequence of well-spread numbers (its high half).
    std::uint32_t NextPriority() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
    }

    Node* root_ = nullptr;
    std::uint64_t state_ = 0;
};

}  // namespace qm

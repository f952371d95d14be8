// ItemList: a doubly linked list of untyped item pointers with a cursor,
// plus a positional index (IndexArray of nodes) that answers at(i) in
// constant time and that can be sorted independently of the link order.
//
// Every row list and column-name list of the data layer is one. The index
// holds the same nodes as the links; its order is the link order until the
// index is sorted, after which positional access (at, seek) shows the sorted
// order while walking the links (first/next, headNode) keeps the insertion
// order. Inserting at the front moves the whole index by one entry;
// appending moves nothing.
//
// Ownership: the list owns its nodes, never the items: clear() and the
// destructor free nodes only. Users cast the items back to their own type.
// The nodes come from blocks the list allocates (growing up to
// kMaxNodeBlock nodes a block), so that a million rows cost a few thousand
// allocations instead of a million; a removed node is kept for the next
// one added, and the blocks go with clear() and the destructor.
//
// Sorting and searching keep the comparator, its context and mode in
// process-wide variables for the duration of the call, so only one sort or
// search may run at a time in the process (all of them run on the UI
// thread); starting one while another runs throws
// "ItemList.sort: otro ordenamiento esta en curso". The list itself is not
// thread-safe. Growing the index may throw IndexArray's GeneralExceptions.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/IndexArray.h"

namespace VORLIN {

class ItemList {
public:
    struct Node {
        void* item;
        Node* next;
        Node* prev;
    };

    // Compares two items (or a search key with an item): negative, 0 or
    // positive. `context` and `mode` are what sort/search were given.
    using Comparator = int (*)(const void* a, const void* b, const void* context, int mode);

    // Optional keys that let a sort decide most comparisons without touching
    // the items (a million-row sort is dominated by cache misses, not by the
    // comparisons). An item's key is taken level by level: level 0 before
    // sorting, level k + 1 only for items whose level-k keys tied, as in a
    // multikey quicksort over strings. The probe must agree with the
    // comparator:
    // - two keys of the same non-zero rank whose prefixes differ order their
    //   items as the prefixes do, read as unsigned numbers;
    // - two keys of the same rank with equal prefixes are both exact (the
    //   items compare equal) or both not (the next level decides);
    // - rank 0 says the level cannot tell: the comparator decides.
    struct SortKey {
        // What the comparator is given for this item: the item at level 0
        // unless the probe hands over something else (say, the one cell the
        // sort looks at); at deeper levels, what the probe set before.
        const void* subject = nullptr;
        uint64_t prefix = 0;
        uint8_t rank = 0;
        uint8_t exact = 0;
    };
    using KeyProbe = void (*)(const void* item, const void* context, int mode, uint32_t level,
                              SortKey& key);
    // Levels of a tie are refined at most this deep; beyond, the comparator
    // settles what is left.
    static constexpr uint32_t kMaxSortLevel = 64;

    static constexpr int32_t kIndexStep = 1024;
    static constexpr int32_t kMaxNodeBlock = 2048;

    ItemList();
    ~ItemList();
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;

    // --- adding (the cursor does not move) ---
    void addFirst(void* item);
    void addLast(void* item);
    // Links `item` after the current node; in the index it goes right after
    // the current node's entry. False (nothing added) without a current node.
    bool insertAfterCurrent(void* item);

    // --- cursor: each returns the item of the new current node, or null ---
    void* first();
    void* last();
    // From the last node: no current node, past-end set. While before-start
    // (after prev() left the head) it takes the head and moves one further.
    void* next();
    // From the first node: no current node, before-start set. While past-end
    // (after next() left the tail) it takes the tail and moves one further.
    void* prev();
    void* current() const noexcept { return current_ ? current_->item : nullptr; }
    bool hasCurrent() const noexcept { return current_ != nullptr; }
    bool isPastEnd() const noexcept { return pastEnd_ != 0; }
    bool isBeforeStart() const noexcept { return beforeStart_ != 0; }
    Node* currentNode() const noexcept { return current_; }
    // Moves the cursor to the node at index position `index`; out of range
    // leaves no current node. Returns the item or null.
    void* seek(int32_t index);
    // Moves the cursor to the first node holding `item` (pointer equality),
    // searching from the head or from the current node on. False (cursor
    // unchanged) when it is not found.
    bool find(const void* item, bool fromStart = true);

    // The first node holding `item` (pointer equality) from the head, without
    // moving the cursor; null when absent.
    Node* findNode(const void* item) const noexcept;

    // --- positional access through the index ---
    // The item at index position `index`, null out of range.
    void* at(int32_t index) const;
    Node* nodeAt(int32_t index) const;
    // Index position of the first entry whose node holds `item`, or -1.
    int32_t indexOf(const void* item) const;

    // --- link-order walk without touching the cursor ---
    const Node* headNode() const noexcept { return head_; }
    const Node* tailNode() const noexcept { return tail_; }

    // --- removing (items are never deleted) ---
    // Removes the current node; the cursor moves to the following node
    // (removing the tail leaves no current node). Returns the item, or null
    // without a current node. `alsoFromIndex` as in remove().
    void* removeCurrent(bool alsoFromIndex = true);
    // Unlinks `node` (which must belong to this list) and returns its item.
    // With `alsoFromIndex` its index entry is removed at once (a search and a
    // move of the following entries). Without it the entry is dropped lazily:
    // the node is kept, marked dead, until the next positional operation
    // compacts the index in one pass, so removing many rows stays linear.
    void* remove(Node* node, bool alsoFromIndex = true);
    // Frees every node; items are untouched; the index is zeroed.
    void clear();

    int32_t count() const noexcept { return count_; }
    bool isEmpty() const noexcept { return count_ == 0; }

    // Puts the index back into link order (undoes a sort).
    void resetIndexOrder();

    // --- sorting and searching over the index ---
    // Sorts the index with an unstable quicksort whose comparator is
    // `compare(a, b, context, mode)`; the links keep their order. With a
    // `probe`, the items' SortKeys decide first and the comparator is given
    // the subjects. The sort is memory-safe and ends even when the comparator
    // is not a strict weak ordering (the order is then arbitrary).
    void sort(const void* context, int mode, Comparator compare, KeyProbe probe = nullptr);
    // Binary search of the (sorted) index: `compare(key, item, context, mode)`.
    // The matching item, or null.
    void* search(const void* key, const void* context, int mode, Comparator compare) const;

private:
    void linkAfter(Node* after, Node* node);
    void unlink(Node* node);
    // Drops the index entries of dead nodes and frees them (see remove()).
    void compactIndex() const;
    // A node from the blocks; freeNode keeps it for the next newNode.
    Node* newNode(void* item);
    void freeNode(Node* node) const noexcept;
    // A new node for `item`, entered in the index at `at` (not yet linked).
    Node* indexedNode(void* item, int32_t at);

    // The node blocks; spare_ chains freed nodes through `next`, and the
    // newest block hands out [fresh_, freshEnd_) before a new one is made.
    // Mutable: compacting the index frees nodes.
    std::vector<std::unique_ptr<Node[]>> blocks_;
    mutable Node* spare_ = nullptr;
    Node* fresh_ = nullptr;
    Node* freshEnd_ = nullptr;

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* current_ = nullptr;
    int32_t count_ = 0;
    // Mutable: positional reads compact away entries of lazily removed nodes.
    mutable IndexArray index_;
    mutable int32_t deadCount_ = 0;
    uint8_t pastEnd_ = 0;
    uint8_t beforeStart_ = 0;
};

}  // namespace VORLIN

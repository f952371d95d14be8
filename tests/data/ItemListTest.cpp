#include "data/ItemList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/GeneralException.h"
#include "data/IndexArray.h"

using VORLIN::GeneralException;
using VORLIN::IndexArray;
using VORLIN::ItemList;

namespace {

template <typename F>
void expectFailure(F f, const char* text) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), text);
    }
}

// Items are the addresses of these ints; the list never touches them.
struct Numbers {
    explicit Numbers(int n) : values(size_t(n)) {
        for (int i = 0; i < n; ++i)
            values[size_t(i)] = i;
    }
    void* operator[](int i) { return &values[size_t(i)]; }
    std::vector<int> values;
};

int valueOf(const void* item) {
    return item ? *static_cast<const int*>(item) : -1;
}

int compareInts(const void* a, const void* b, const void*, int mode) {
    int x = valueOf(a), y = valueOf(b);
    int c = x < y ? -1 : (x > y ? 1 : 0);
    return mode == 2 ? -c : c;  // mode 2: descending
}

std::vector<int> linkOrder(const ItemList& list) {
    std::vector<int> out;
    for (const ItemList::Node* n = list.headNode(); n; n = n->next)
        out.push_back(valueOf(n->item));
    return out;
}

std::vector<int> indexOrder(const ItemList& list) {
    std::vector<int> out;
    for (int i = 0; i < list.count(); ++i)
        out.push_back(valueOf(list.at(i)));
    return out;
}

// Exposes the protected storage operations.
class OpenIndex : public IndexArray {
public:
    using IndexArray::copyEntries;
    using IndexArray::ensure;
    using IndexArray::free;
    using IndexArray::IndexArray;
};

// Storage that never gets memory.
class StarvedIndex : public IndexArray {
public:
    StarvedIndex() : IndexArray(4) {}

protected:
    void** alloc(int32_t) override { return nullptr; }
};

}  // namespace

// ------------------------------------------------------------- IndexArray

TEST(IndexArray, InsertsRemovesAndFindsEntries) {
    Numbers v(5);
    IndexArray a(2);
    a.add(v[1]);
    a.add(v[3]);
    a.insertAt(0, v[0]);
    a.insertAt(2, v[2]);
    a.insertAt(99, v[4]);  // past the end appends
    ASSERT_EQ(a.count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.at(i), v[i]);
    EXPECT_EQ(a.at(5), nullptr);
    EXPECT_EQ(a.at(-1), nullptr);

    EXPECT_EQ(a.find(v[3]), 3);
    EXPECT_TRUE(a.remove(v[3]));
    EXPECT_FALSE(a.remove(v[3]));  // not present: nothing changes
    EXPECT_EQ(a.count(), 4);
    EXPECT_EQ(a.at(3), v[4]);
    a.removeAt(0);
    a.removeAt(7);
    EXPECT_EQ(a.count(), 3);
    EXPECT_EQ(a.at(0), v[1]);
}

TEST(IndexArray, GrowsInWholeStepsAndZeroesTheNewEntries) {
    Numbers v(1);
    IndexArray a(8, 8);
    EXPECT_EQ(a.capacity(), 8);
    for (int i = 0; i < 9; ++i)
        a.add(v[0]);
    EXPECT_EQ(a.capacity() % 8, 0);
    EXPECT_GT(a.capacity(), 8);
    for (int i = a.count(); i < a.capacity(); ++i)
        EXPECT_EQ(a.data()[i], nullptr);
    a.clear();
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.data()[0], nullptr);
}

TEST(IndexArray, StorageFailuresHaveTheirTexts) {
    OpenIndex a(4);
    void* entry = nullptr;
    expectFailure([&] { a.free(nullptr); }, "IndexArray: Free invalid buffer");
    expectFailure([&] { a.copyEntries(nullptr, &entry, 1); }, "Archive: buffer nulo");
    expectFailure([&] { a.copyEntries(&entry, nullptr, 1); }, "Archive: buffer nulo");

    StarvedIndex starved;
    expectFailure([&] { starved.add(nullptr); }, "IndexArray: No hay suficiente memoria");
    EXPECT_EQ(starved.count(), 0);
}

// ------------------------------------------------------- ItemList: adding

TEST(ItemListAdd, KeepsLinksAndIndexInTheSameOrder) {
    Numbers v(4);
    ItemList list;
    list.addLast(v[2]);
    list.addFirst(v[1]);
    list.addLast(v[3]);
    list.addFirst(v[0]);
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(linkOrder(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(indexOrder(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(list.at(4), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);
    EXPECT_FALSE(list.hasCurrent());  // adding does not move the cursor
}

TEST(ItemListAdd, InsertAfterCurrentNeedsACurrentNode) {
    Numbers v(4);
    ItemList list;
    EXPECT_FALSE(list.insertAfterCurrent(v[0]));
    EXPECT_EQ(list.count(), 0);
    list.addLast(v[0]);
    list.addLast(v[3]);
    list.first();
    EXPECT_TRUE(list.insertAfterCurrent(v[1]));
    EXPECT_EQ(valueOf(list.current()), 0);
    list.next();
    EXPECT_TRUE(list.insertAfterCurrent(v[2]));
    EXPECT_EQ(linkOrder(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(indexOrder(list), (std::vector<int>{0, 1, 2, 3}));
}

TEST(ItemListAdd, PositionalAccessStaysRightPastManyIndexSteps) {
    Numbers v(5000);
    ItemList list;
    for (int i = 2500; i < 5000; ++i)
        list.addLast(v[i]);
    for (int i = 2499; i >= 0; --i)
        list.addFirst(v[i]);
    ASSERT_EQ(list.count(), 5000);
    for (int i : {0, 1023, 1024, 2499, 2500, 4095, 4999})
        EXPECT_EQ(valueOf(list.at(i)), i);
}

// ------------------------------------------------------- ItemList: cursor

TEST(ItemListCursor, WalksForwardAndBackward) {
    Numbers v(3);
    ItemList list;
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.next(), nullptr);
    for (int i = 0; i < 3; ++i)
        list.addLast(v[i]);
    EXPECT_EQ(valueOf(list.first()), 0);
    EXPECT_EQ(valueOf(list.next()), 1);
    EXPECT_EQ(valueOf(list.next()), 2);
    EXPECT_EQ(valueOf(list.prev()), 1);
    EXPECT_EQ(valueOf(list.last()), 2);
    EXPECT_EQ(valueOf(list.current()), 2);
}

TEST(ItemListCursor, StepPastTheEndAndBackGoesOneFurther) {
    Numbers v(3);
    ItemList list;
    for (int i = 0; i < 3; ++i)
        list.addLast(v[i]);
    list.last();
    EXPECT_EQ(list.next(), nullptr);
    EXPECT_FALSE(list.hasCurrent());
    EXPECT_TRUE(list.isPastEnd());
    EXPECT_EQ(list.next(), nullptr);  // stays past the end
    EXPECT_TRUE(list.isPastEnd());
    // Back from past the end: the tail is taken, then one step further.
    EXPECT_EQ(valueOf(list.prev()), 1);
    EXPECT_FALSE(list.isPastEnd());
}

TEST(ItemListCursor, StepBeforeTheStartAndBackGoesOneFurther) {
    Numbers v(3);
    ItemList list;
    for (int i = 0; i < 3; ++i)
        list.addLast(v[i]);
    list.first();
    EXPECT_EQ(list.prev(), nullptr);
    EXPECT_FALSE(list.hasCurrent());
    EXPECT_TRUE(list.isBeforeStart());
    EXPECT_EQ(valueOf(list.next()), 1);  // the head, then its successor
    EXPECT_FALSE(list.isBeforeStart());
}

TEST(ItemListCursor, OneNodeListLeavesBothWays) {
    Numbers v(1);
    ItemList list;
    list.addLast(v[0]);
    list.first();
    EXPECT_EQ(list.next(), nullptr);
    EXPECT_TRUE(list.isPastEnd());
    EXPECT_EQ(list.prev(), nullptr);  // tail taken, and it has no predecessor
    EXPECT_TRUE(list.isBeforeStart());
    EXPECT_FALSE(list.isPastEnd());
}

TEST(ItemListCursor, SeekAndFind) {
    Numbers v(4);
    ItemList list;
    for (int i : {0, 1, 2, 1})
        list.addLast(v[i]);
    EXPECT_EQ(valueOf(list.seek(2)), 2);
    EXPECT_EQ(list.seek(9), nullptr);
    EXPECT_FALSE(list.hasCurrent());

    EXPECT_TRUE(list.find(v[1], true));
    EXPECT_EQ(list.currentNode(), list.headNode()->next);
    list.next();
    // From the cursor on, the second occurrence is found.
    EXPECT_TRUE(list.find(v[1], false));
    EXPECT_EQ(list.currentNode(), list.tailNode());
    EXPECT_FALSE(list.find(v[3], true));
    EXPECT_EQ(list.currentNode(), list.tailNode());  // unchanged by a miss
    EXPECT_EQ(list.indexOf(v[2]), 2);
    EXPECT_EQ(list.indexOf(v[3]), -1);
}

// ----------------------------------------------------- ItemList: removing

TEST(ItemListRemove, RemovingCurrentMovesToTheFollowingNode) {
    Numbers v(3);
    ItemList list;
    for (int i = 0; i < 3; ++i)
        list.addLast(v[i]);
    list.seek(1);
    EXPECT_EQ(valueOf(list.removeCurrent()), 1);
    EXPECT_EQ(valueOf(list.current()), 2);
    EXPECT_EQ(valueOf(list.removeCurrent()), 2);  // the tail
    EXPECT_FALSE(list.hasCurrent());
    EXPECT_EQ(list.removeCurrent(), nullptr);
    EXPECT_EQ(linkOrder(list), std::vector<int>{0});
    EXPECT_EQ(indexOrder(list), std::vector<int>{0});
    EXPECT_EQ(list.tailNode(), list.headNode());
}

TEST(ItemListRemove, LazyIndexRemovalCompactsBeforePositionalAccess) {
    Numbers v(10);
    ItemList list;
    for (int i = 0; i < 10; ++i)
        list.addLast(v[i]);
    for (ItemList::Node* n = const_cast<ItemList::Node*>(list.headNode()); n;) {
        ItemList::Node* following = n->next;
        if (valueOf(n->item) % 3 == 0) list.remove(n, false);
        n = following;
    }
    EXPECT_EQ(list.count(), 6);
    EXPECT_EQ(indexOrder(list), (std::vector<int>{1, 2, 4, 5, 7, 8}));
    EXPECT_EQ(linkOrder(list), (std::vector<int>{1, 2, 4, 5, 7, 8}));
    list.addFirst(v[0]);
    EXPECT_EQ(valueOf(list.at(0)), 0);
    EXPECT_EQ(valueOf(list.at(6)), 8);
}

TEST(ItemListRemove, ClearFreesNodesButNotItems) {
    Numbers v(3);
    ItemList list;
    for (int i = 0; i < 3; ++i)
        list.addLast(v[i]);
    list.first();
    list.remove(const_cast<ItemList::Node*>(list.tailNode()), false);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.headNode(), nullptr);
    EXPECT_FALSE(list.hasCurrent());
    EXPECT_EQ(list.at(0), nullptr);
    EXPECT_EQ(v.values, (std::vector<int>{0, 1, 2}));
    list.addLast(v[2]);
    EXPECT_EQ(valueOf(list.at(0)), 2);
}

// Nodes come from blocks and are reused: a long run of adds and removes of
// every kind, against a plain vector, never loses or mixes up an item.
TEST(ItemListRemove, ReusedNodesKeepLinksAndIndexRight) {
    Numbers v(5000);
    ItemList list;
    std::vector<int> model;
    std::mt19937 random(7);
    int nextValue = 0;
    for (int step = 0; step < 20000; ++step) {
        const unsigned what = random() % 10;
        if (what < 5 || model.empty()) {
            const int value = nextValue++ % 5000;
            if (what % 2) {
                list.addFirst(v[value]);
                model.insert(model.begin(), value);
            } else {
                list.addLast(v[value]);
                model.push_back(value);
            }
        } else {
            // Remove one at random, eagerly or lazily from the index.
            const size_t at = random() % model.size();
            ItemList::Node* node = list.nodeAt(int32_t(at));
            ASSERT_EQ(valueOf(list.remove(node, what % 2 == 0)), model[at]);
            model.erase(model.begin() + std::ptrdiff_t(at));
        }
        if (step % 997 == 0) {
            ASSERT_EQ(indexOrder(list), model);
            ASSERT_EQ(linkOrder(list), model);
        }
        if (step == 12000) {
            list.clear();
            model.clear();
        }
    }
    EXPECT_EQ(list.count(), int32_t(model.size()));
    EXPECT_EQ(indexOrder(list), model);
    EXPECT_EQ(linkOrder(list), model);
    // A node removed is the next one handed out.
    ItemList::Node* tail = const_cast<ItemList::Node*>(list.tailNode());
    list.remove(tail);
    list.addLast(v[0]);
    EXPECT_EQ(list.tailNode(), tail);
}

// -------------------------------------------------- ItemList: sort/search

TEST(ItemListSort, SortsTheIndexButNotTheLinks) {
    Numbers v(6);
    ItemList list;
    for (int i : {4, 1, 5, 0, 3, 2})
        list.addLast(v[i]);
    list.sort(nullptr, 1, compareInts);
    EXPECT_EQ(indexOrder(list), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(linkOrder(list), (std::vector<int>{4, 1, 5, 0, 3, 2}));
    list.sort(nullptr, 2, compareInts);
    EXPECT_EQ(indexOrder(list), (std::vector<int>{5, 4, 3, 2, 1, 0}));
    list.resetIndexOrder();
    EXPECT_EQ(indexOrder(list), (std::vector<int>{4, 1, 5, 0, 3, 2}));
}

TEST(ItemListSort, LargeInputsWithDuplicatesAndRuns) {
    std::mt19937 rng(7);
    for (int pattern = 0; pattern < 4; ++pattern) {
        std::vector<int> values(20000);
        for (size_t i = 0; i < values.size(); ++i) {
            switch (pattern) {
                case 0:
                    values[i] = int(rng() % 100000);
                    break;
                case 1:
                    values[i] = int(rng() % 3);
                    break;  // many equal keys
                case 2:
                    values[i] = int(i);
                    break;  // already sorted
                default:
                    values[i] = int(values.size() - i);
                    break;
            }
        }
        ItemList list;
        for (int& x : values)
            list.addLast(&x);
        list.sort(nullptr, 1, compareInts);
        std::vector<int> got = indexOrder(list);
        std::vector<int> want = values;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << "pattern " << pattern;
    }
}

TEST(ItemListSort, SearchFindsInTheSortedIndex) {
    Numbers v(50);
    ItemList list;
    for (int i = 49; i >= 0; i -= 2)
        list.addLast(v[i]);  // odd numbers
    list.sort(nullptr, 1, compareInts);
    int key = 17;
    EXPECT_EQ(list.search(&key, nullptr, 1, compareInts), v[17]);
    key = 18;
    EXPECT_EQ(list.search(&key, nullptr, 1, compareInts), nullptr);
    ItemList empty;
    EXPECT_EQ(empty.search(&key, nullptr, 1, compareInts), nullptr);
}

namespace {

// Contradicts itself on purpose: "less" in both directions half of the time.
int chaoticCompare(const void* a, const void* b, const void*, int) {
    static uint32_t state = 12345;
    state = state * 1103515245u + 12345u;
    (void)a;
    (void)b;
    return int((state >> 16) % 3) - 1;
}

ItemList* g_other = nullptr;

int nestingCompare(const void* a, const void* b, const void* context, int mode) {
    g_other->sort(nullptr, 1, compareInts);
    return compareInts(a, b, context, mode);
}

}  // namespace

TEST(ItemListSort, AnInconsistentComparatorNeverLeavesTheRange) {
    std::vector<int> values(5000, 1);
    ItemList list;
    for (int& x : values)
        list.addLast(&x);
    list.sort(nullptr, 1, chaoticCompare);
    // Every node is still there exactly once.
    std::vector<const void*> seen;
    for (int i = 0; i < list.count(); ++i)
        seen.push_back(list.at(i));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen.size(), values.size());
}

TEST(ItemListSort, OnlyOneSortRunsAtATime) {
    Numbers v(3);
    ItemList list, other;
    for (int i : {2, 0, 1})
        list.addLast(v[i]);
    other.addLast(v[1]);
    other.addLast(v[0]);
    g_other = &other;
    expectFailure([&] { list.sort(nullptr, 1, nestingCompare); },
                  "ItemList.sort: otro ordenamiento esta en curso");
    g_other = nullptr;
    EXPECT_EQ(indexOrder(list), (std::vector<int>{2, 0, 1}));  // untouched
    list.sort(nullptr, 1, compareInts);                        // the context was released
    EXPECT_EQ(indexOrder(list), (std::vector<int>{0, 1, 2}));
}

namespace {

// Items are (high, low) pairs; the probe gives the high half at level 0 and
// the low half at level 1, so that the comparator is never needed.
struct Pair {
    int high;
    int low;
};

int g_comparisons = 0;

int comparePairs(const void* a, const void* b, const void*, int) {
    ++g_comparisons;
    const Pair& x = *static_cast<const Pair*>(a);
    const Pair& y = *static_cast<const Pair*>(b);
    if (x.high != y.high) return x.high < y.high ? -1 : 1;
    return x.low < y.low ? -1 : (x.low > y.low ? 1 : 0);
}

void probePairs(const void* item, const void*, int mode, uint32_t level, ItemList::SortKey& key) {
    const Pair& p = *static_cast<const Pair*>(item);
    if (mode == 0 || level > 1) return;  // mode 0: no keys at all
    key.rank = 1;
    key.prefix = uint64_t(int64_t(level == 0 ? p.high : p.low) + (int64_t(1) << 40));
    key.exact = level == 1;
}

}  // namespace

TEST(ItemListSort, ProbeKeysDecideLevelByLevel) {
    std::mt19937 rng(3);
    std::vector<Pair> pairs(3000);
    for (Pair& p : pairs)
        p = Pair{int(rng() % 5) - 2, int(rng() % 1000) - 500};
    for (int mode : {1, 0}) {
        ItemList list;
        for (Pair& p : pairs)
            list.addLast(&p);
        g_comparisons = 0;
        list.sort(nullptr, mode, comparePairs, probePairs);
        int used = g_comparisons;
        for (int i = 1; i < list.count(); ++i)
            ASSERT_LE(comparePairs(list.at(i - 1), list.at(i), nullptr, 0), 0) << "at " << i;
        // With keys the comparator only settles a few pivot choices and the
        // last small ranges of ties; without, it does all the work.
        if (mode == 1)
            EXPECT_LT(used, list.count() / 10);
        else
            EXPECT_GT(used, 3 * list.count());
    }
}

#include "data/ItemList.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <memory>
#include <utility>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

// ------------------------------------------------- process-wide sort context
//
// The comparator of a sort or index search, its context and its mode live
// here for the duration of the call; the sorting routines below read them.
// One sort at a time: a second one (from another thread, or from inside a
// comparator) is refused instead of overwriting the context under the first.

struct SortContext {
    ItemList::Comparator compare = nullptr;
    const void* context = nullptr;
    int mode = 0;
};

SortContext g_sort;
ItemList::KeyProbe g_probe = nullptr;
std::atomic<bool> g_sortBusy{false};

class SortScope {
public:
    SortScope(ItemList::Comparator compare, const void* context, int mode) {
        bool expected = false;
        if (!g_sortBusy.compare_exchange_strong(expected, true))
            throw GeneralException("ItemList.sort: otro ordenamiento esta en curso");
        g_sort.compare = compare;
        g_sort.context = context;
        g_sort.mode = mode;
    }
    ~SortScope() {
        g_sort = SortContext();
        g_probe = nullptr;
        g_sortBusy.store(false);
    }
    SortScope(const SortScope&) = delete;
    SortScope& operator=(const SortScope&) = delete;
};

// One index entry while sorting: the key of the entry's current level beside
// the node.
struct Entry {
    uint64_t prefix;
    const void* subject;
    const void* item;
    ItemList::Node* node;
    uint8_t rank;
    uint8_t exact;
};

// How far ahead the key passes ask for the memory they will read: the rows
// of a large set are scattered, and one row's key costs a chain of misses.
constexpr ptrdiff_t kPrefetchAhead = 8;

// Takes the key of `level` for `e` (nothing without a probe).
inline void probeEntry(Entry& e, uint32_t level) {
    if (!g_probe) return;
    ItemList::SortKey key;
    key.subject = e.subject;
    g_probe(e.item, g_sort.context, g_sort.mode, level, key);
    e.prefix = key.prefix;
    e.subject = key.subject;
    e.rank = key.rank;
    e.exact = key.exact;
}

// The complete three-way comparison of two entries of one level: the
// prefixes when they decide, the comparator otherwise.
inline int compareEntries(const Entry& a, const Entry& b) {
    if (a.rank != 0 && a.rank == b.rank) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix ? -1 : 1;
        if (a.exact && b.exact) return 0;
    }
    return g_sort.compare(a.subject, b.subject, g_sort.context, g_sort.mode);
}

// The comparison a partition uses: a tie of prefixes counts as equal here
// and is settled at the next level.
inline int compareLevel(const Entry& a, const Entry& pivot) {
    if (a.rank != 0 && a.rank == pivot.rank) {
        if (a.prefix != pivot.prefix) return a.prefix < pivot.prefix ? -1 : 1;
        return 0;
    }
    return g_sort.compare(a.subject, pivot.subject, g_sort.context, g_sort.mode);
}

inline bool less(const Entry& a, const Entry& b) {
    return compareEntries(a, b) < 0;
}

// The typed comparison of cells is not a strict weak ordering (a null cell is
// "greater" than anything, in both directions; text against numbers compares
// numerically one way and byte-wise the other), and std::sort's unguarded
// loops may then run off the range. Every loop below is bounded by the range
// itself, and every partition removes at least the pivot, so a bad
// comparator only yields an arbitrary order.

void insertionSort(Entry* a, ptrdiff_t n) {
    for (ptrdiff_t i = 1; i < n; ++i) {
        Entry x = a[i];
        ptrdiff_t j = i;
        while (j > 0 && less(x, a[j - 1])) {
            a[j] = a[j - 1];
            --j;
        }
        a[j] = x;
    }
}

void siftDown(Entry* a, ptrdiff_t root, ptrdiff_t n) {
    for (;;) {
        ptrdiff_t child = 2 * root + 1;
        if (child >= n) return;
        if (child + 1 < n && less(a[child], a[child + 1])) ++child;
        if (!less(a[root], a[child])) return;
        std::swap(a[root], a[child]);
        root = child;
    }
}

void heapSort(Entry* a, ptrdiff_t n) {
    for (ptrdiff_t i = n / 2; i-- > 0;)
        siftDown(a, i, n);
    for (ptrdiff_t end = n - 1; end > 0; --end) {
        std::swap(a[0], a[end]);
        siftDown(a, 0, end);
    }
}

inline ptrdiff_t median3(const Entry* a, ptrdiff_t i, ptrdiff_t j, ptrdiff_t k) {
    if (less(a[i], a[j])) {
        if (less(a[j], a[k])) return j;
        return less(a[i], a[k]) ? k : i;
    }
    if (less(a[k], a[j])) return j;
    return less(a[k], a[i]) ? k : i;
}

void swapRanges(Entry* a, Entry* b, ptrdiff_t n) {
    for (ptrdiff_t i = 0; i < n; ++i)
        std::swap(a[i], b[i]);
}

constexpr ptrdiff_t kSmallRange = 16;

int depthFor(ptrdiff_t n) {
    return 2 * std::bit_width(uint64_t(n));
}

// Readies entries that tied with a pivot at `level` for the next level and
// returns it; past the deepest level their keys are dropped instead, so
// that the comparator settles them.
uint32_t descend(Entry* a, ptrdiff_t n, uint32_t level) {
    if (level + 1 >= ItemList::kMaxSortLevel) {
        for (ptrdiff_t i = 0; i < n; ++i)
            a[i].rank = 0;
        return level;
    }
    ++level;
    for (ptrdiff_t i = 0; i < n; ++i) {
        if (i + kPrefetchAhead < n) {
            __builtin_prefetch(a[i + kPrefetchAhead].item);
            __builtin_prefetch(a[i + kPrefetchAhead].subject);
        }
        probeEntry(a[i], level);
    }
    return level;
}

// Quicksort with a median-of-three (ninther for large ranges) pivot and the
// three-way partition of Bentley and McIlroy: runs of equal keys (a column of
// few distinct values) drop out at once, and entries whose keys tie with the
// pivot's go on to the next key level together. Small ranges finish with
// insertion sort and a recursion deeper than 2 log2 n falls back to
// heapsort, so no input makes it quadratic. Only the two smaller of the three
// parts are sorted by recursion, so the stack stays within log2 n frames.
void quickSort(Entry* a, ptrdiff_t n, uint32_t level, int depth) {
    while (n > kSmallRange) {
        if (depth-- == 0) {
            heapSort(a, n);
            return;
        }
        ptrdiff_t mid = n / 2;
        if (n > 128) {
            ptrdiff_t s = n / 8;
            ptrdiff_t lo = median3(a, 0, s, 2 * s);
            ptrdiff_t md = median3(a, mid - s, mid, mid + s);
            ptrdiff_t hi = median3(a, n - 1 - 2 * s, n - 1 - s, n - 1);
            mid = median3(a, lo, md, hi);
        } else {
            mid = median3(a, 0, mid, n - 1);
        }
        std::swap(a[0], a[mid]);
        const Entry pivot = a[0];

        // Equal entries gather at both ends: [0, pa) and (pd, n - 1]. The
        // pivot itself stays in the first run, so every step shrinks.
        ptrdiff_t pa = 1, pb = 1, pc = n - 1, pd = n - 1;
        for (;;) {
            int c;
            while (pb <= pc && (c = compareLevel(a[pb], pivot)) <= 0) {
                if (c == 0) std::swap(a[pa++], a[pb]);
                ++pb;
            }
            while (pb <= pc && (c = compareLevel(a[pc], pivot)) >= 0) {
                if (c == 0) std::swap(a[pc], a[pd--]);
                --pc;
            }
            if (pb > pc) break;
            std::swap(a[pb++], a[pc--]);
        }
        // Bring the equal runs to the middle.
        ptrdiff_t s = std::min(pa, pb - pa);
        swapRanges(a, a + pb - s, s);
        s = std::min(pd - pc, n - 1 - pd);
        swapRanges(a + pb, a + n - s, s);

        Entry* lessA = a;
        ptrdiff_t lessN = pb - pa;
        Entry* moreA = a + n - (pd - pc);
        ptrdiff_t moreN = pd - pc;
        Entry* tieA = a + lessN;
        ptrdiff_t tieN = n - lessN - moreN;
        // The entries equal to the pivot at this level are done when its key
        // was exact (or there was none); otherwise the next level orders them.
        if (pivot.rank == 0 || pivot.exact || tieN < 2) tieN = 0;

        if (tieN >= lessN && tieN >= moreN) {
            quickSort(lessA, lessN, level, depth);
            quickSort(moreA, moreN, level, depth);
            level = descend(tieA, tieN, level);
            a = tieA;
            n = tieN;
            depth = depthFor(n);
            continue;
        }
        if (tieN > 0) quickSort(tieA, tieN, descend(tieA, tieN, level), depthFor(tieN));
        if (lessN >= moreN) {
            quickSort(moreA, moreN, level, depth);
            a = lessA;
            n = lessN;
        } else {
            quickSort(lessA, lessN, level, depth);
            a = moreA;
            n = moreN;
        }
    }
    insertionSort(a, n);
}

// A dead node (see ItemList::remove) is unlinked but still in the index
// until the next compaction; it points at itself both ways.
inline bool isDead(const ItemList::Node* node) {
    return node->next == node;
}

}  // namespace

ItemList::ItemList() : index_(kIndexStep, kIndexStep) {}

ItemList::~ItemList() {
    clear();
}

// ------------------------------------------------------------------- adding

// Links `node` after `after` (null: at the front). Callers make room in
// the index first, so that nothing can fail once the links change.
void ItemList::linkAfter(Node* after, Node* node) {
    node->prev = after;
    node->next = after ? after->next : head_;
    if (node->next)
        node->next->prev = node;
    else
        tail_ = node;
    if (after)
        after->next = node;
    else
        head_ = node;
    ++count_;
}

ItemList::Node* ItemList::newNode(void* item) {
    Node* node = spare_;
    if (node) {
        spare_ = node->next;
    } else {
        if (fresh_ == freshEnd_) {
            // Each block twice the last, from 16 nodes up to kMaxNodeBlock:
            // a list of column names takes one small block.
            const size_t size =
                blocks_.empty() ? 16
                                : std::min<size_t>(size_t(kMaxNodeBlock),
                                                   2 * size_t(freshEnd_ - blocks_.back().get()));
            blocks_.reserve(blocks_.size() + 1);
            blocks_.push_back(std::make_unique_for_overwrite<Node[]>(size));
            fresh_ = blocks_.back().get();
            freshEnd_ = fresh_ + size;
        }
        node = fresh_++;
    }
    *node = Node{item, nullptr, nullptr};
    return node;
}

void ItemList::freeNode(Node* node) const noexcept {
    node->item = nullptr;
    node->prev = nullptr;
    node->next = spare_;
    spare_ = node;
}

ItemList::Node* ItemList::indexedNode(void* item, int32_t at) {
    Node* node = newNode(item);
    // The index entry before the links: if the index cannot grow, the node
    // goes back and the list is as it was.
    try {
        if (at == index_.count())
            index_.add(node);
        else
            index_.insertAt(at, node);
    } catch (...) {
        freeNode(node);
        throw;
    }
    return node;
}

void ItemList::addFirst(void* item) {
    linkAfter(nullptr, indexedNode(item, 0));
}

void ItemList::addLast(void* item) {
    linkAfter(tail_, indexedNode(item, index_.count()));
}

bool ItemList::insertAfterCurrent(void* item) {
    if (!current_) return false;
    int32_t at = index_.find(current_);
    linkAfter(current_, indexedNode(item, at < 0 ? index_.count() : at + 1));
    return true;
}

// ------------------------------------------------------------------- cursor

void* ItemList::first() {
    current_ = head_;
    pastEnd_ = beforeStart_ = 0;
    return current();
}

void* ItemList::last() {
    current_ = tail_;
    pastEnd_ = beforeStart_ = 0;
    return current();
}

void* ItemList::next() {
    if (current_) {
        current_ = current_->next;
    } else if (beforeStart_ && head_) {
        // Coming back from before the head: one node further than the head.
        current_ = head_->next;
    } else {
        return nullptr;
    }
    beforeStart_ = 0;
    pastEnd_ = current_ ? 0 : 1;
    return current();
}

void* ItemList::prev() {
    if (current_) {
        current_ = current_->prev;
    } else if (pastEnd_ && tail_) {
        // Coming back from past the tail: one node further than the tail.
        current_ = tail_->prev;
    } else {
        return nullptr;
    }
    pastEnd_ = 0;
    beforeStart_ = current_ ? 0 : 1;
    return current();
}

void* ItemList::seek(int32_t index) {
    current_ = nodeAt(index);
    pastEnd_ = beforeStart_ = 0;
    return current();
}

bool ItemList::find(const void* item, bool fromStart) {
    for (Node* n = fromStart ? head_ : current_; n; n = n->next) {
        if (n->item == item) {
            current_ = n;
            pastEnd_ = beforeStart_ = 0;
            return true;
        }
    }
    return false;
}

ItemList::Node* ItemList::findNode(const void* item) const noexcept {
    for (Node* n = head_; n; n = n->next)
        if (n->item == item) return n;
    return nullptr;
}

// --------------------------------------------------------------- positional

void ItemList::compactIndex() const {
    if (deadCount_ == 0) return;
    void** entries = index_.data();
    int32_t kept = 0;
    for (int32_t i = 0; i < index_.count(); ++i) {
        Node* n = static_cast<Node*>(entries[i]);
        if (isDead(n))
            freeNode(n);
        else
            entries[kept++] = n;
    }
    index_.truncate(kept);
    deadCount_ = 0;
}

ItemList::Node* ItemList::nodeAt(int32_t index) const {
    compactIndex();
    return static_cast<Node*>(index_.at(index));
}

void* ItemList::at(int32_t index) const {
    Node* n = nodeAt(index);
    return n ? n->item : nullptr;
}

int32_t ItemList::indexOf(const void* item) const {
    compactIndex();
    void* const* entries = index_.data();
    for (int32_t i = 0; i < index_.count(); ++i)
        if (static_cast<const Node*>(entries[i])->item == item) return i;
    return -1;
}

void ItemList::resetIndexOrder() {
    compactIndex();
    int32_t i = 0;
    for (Node* n = head_; n; n = n->next)
        index_.set(i++, n);
}

// ----------------------------------------------------------------- removing

void ItemList::unlink(Node* node) {
    if (node == current_) current_ = node->next;
    if (node->prev)
        node->prev->next = node->next;
    else
        head_ = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        tail_ = node->prev;
    --count_;
}

void* ItemList::removeCurrent(bool alsoFromIndex) {
    if (!current_) return nullptr;
    return remove(current_, alsoFromIndex);
}

void* ItemList::remove(Node* node, bool alsoFromIndex) {
    if (!node || isDead(node)) return nullptr;
    void* item = node->item;
    unlink(node);
    if (alsoFromIndex) {
        index_.remove(node);
        freeNode(node);
    } else {
        node->item = nullptr;
        node->next = node->prev = node;
        ++deadCount_;
    }
    return item;
}

void ItemList::clear() {
    // Every node lives in a block: the blocks go, with no walk of the nodes.
    blocks_.clear();
    spare_ = fresh_ = freshEnd_ = nullptr;
    deadCount_ = 0;
    index_.clear();
    head_ = tail_ = current_ = nullptr;
    count_ = 0;
    pastEnd_ = beforeStart_ = 0;
}

// ------------------------------------------------------ sorting and search

void ItemList::sort(const void* context, int mode, Comparator compare, KeyProbe probe) {
    compactIndex();
    int32_t n = index_.count();
    if (n < 2 || !compare) return;
    SortScope scope(compare, context, mode);
    g_probe = probe;
    std::unique_ptr<Entry[]> entries(new Entry[size_t(n)]);
    void** nodes = index_.data();
    for (int32_t i = 0; i < n; ++i) {
        if (i + 2 * kPrefetchAhead < n) __builtin_prefetch(nodes[i + 2 * kPrefetchAhead]);
        if (i + kPrefetchAhead < n)
            __builtin_prefetch(static_cast<Node*>(nodes[i + kPrefetchAhead])->item);
        Node* node = static_cast<Node*>(nodes[i]);
        entries[i] = Entry{0, node->item, node->item, node, 0, 0};
        probeEntry(entries[i], 0);
    }
    quickSort(entries.get(), n, 0, depthFor(n));
    for (int32_t i = 0; i < n; ++i)
        nodes[i] = entries[i].node;
}

void* ItemList::search(const void* key, const void* context, int mode, Comparator compare) const {
    compactIndex();
    if (!compare) return nullptr;
    SortScope scope(compare, context, mode);
    void* const* nodes = index_.data();
    int32_t lo = 0, hi = index_.count();
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        const Node* node = static_cast<const Node*>(nodes[mid]);
        int c = g_sort.compare(key, node->item, g_sort.context, g_sort.mode);
        if (c == 0) return node->item;
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return nullptr;
}

}  // namespace VORLIN

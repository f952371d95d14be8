// HeapTuning: how the desktop program has the C library manage its heap,
// set once at start-up, before any thread is started.
//
// A query window reads its rows on a thread of its own. glibc gives every
// thread that allocates an arena of its own, whose heaps grow in mapped
// pieces; filling one with a million rows costs about a fifth more than
// filling the main heap. The program uses one arena: the reading thread
// and the user-interface thread share it, and they seldom allocate at the
// same moment.
//
// The heap also grows by a top pad of kTopPad bytes beyond each request,
// so that a HeapPrefault thread finds pages to map in ahead of the rows
// that will fill them (a million rows grow it about thirty times instead
// of thousands). What the pad leaves unused stays reserved, not resident,
// until HeapPrefault maps it in. A block of kMmapThreshold bytes or more
// gets a mapping of its own, as the library's own rule would settle on.
//
// Threads: call from main() before anything else runs. Throws nothing.
#pragma once

namespace VORLIN {

constexpr int kTopPad = 16 << 20;
constexpr int kMmapThreshold = 4 << 20;

void tuneHeapForResults() noexcept;

}  // namespace VORLIN

#pragma once
// How the player keeps its resident memory small over long runs with large libraries.

// Sets the allocator up for a process with a few busy threads and large, short-lived
// working sets (library scans, list building): two arenas rather than one per thread, and
// a fixed threshold above which blocks are mapped on their own and go back to the system
// when freed (glibc otherwise raises it as large blocks are freed, so later large blocks
// stay in the heap and leave holes). Call first thing in main, before any thread starts.
void tuneAllocator();

// Hands the pages the allocator holds free back to the system. After a large piece of
// work whose results are small (a library scan, the lists built from it) the freed
// memory otherwise stays resident. Any thread may call it; it takes a few milliseconds,
// so never on the render thread.
void releaseFreedMemory();

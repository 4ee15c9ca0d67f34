// How the process keeps its freed memory.
#pragma once

namespace tavrine {

// Large buffers (a file's bytes) come from the heap, and freed memory stays
// with the process: the tables filled after a file is read then reuse the
// pages its buffer held instead of taking fresh ones from the system, each
// faulted in and cleared. Call once at the start of main.
void KeepFreedMemory();

}  // namespace tavrine

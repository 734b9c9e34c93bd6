#pragma once
// Threads other than the main thread call prepare_thread first, so that a
// fault on them (a stack overflow included) is still turned into a
// run-time error, raised and handled on that thread.

namespace runtime {

// Records the calling thread's stack for the fault filter and the report's
// stack walk, and gives the thread its own stack for fault handling (freed
// when the thread ends). Cheap to call again; the main thread needs no call.
void prepare_thread();

}  // namespace runtime

#pragma once
// The fault filter: processor and floating-point faults become run-time
// errors. One implementation per platform, faults_posix.cpp and
// faults_win32.cpp (the table of faults is there).
//
// Threads other than the main thread call prepare_thread first, so that a
// fault on them (a stack overflow included) is still turned into a
// run-time error, raised and handled on that thread.

namespace runtime {

namespace platform {

// Installed by the start-up, removed by the exit sequence.
void install_fault_filter();
void remove_fault_filter();

}  // namespace platform

// Records the calling thread's stack for the fault filter and the report's
// stack walk, and gives the thread its own stack for fault handling (freed
// when the thread ends). Cheap to call again; the main thread needs no call.
void prepare_thread();

}  // namespace runtime

// Spreads independent pieces of work (hashing and reading song folders) over one
// thread per core while keeping what a single-thread loop would leave behind: every
// piece is done once, and their log lines reach the log in the order of the pieces.
#pragma once

#include <cstddef>
#include <functional>

// Runs work(i) for every i in [0, count) on up to `threads` threads (0: one per
// core; the calling thread is one of them) and returns when all have run. The log
// lines work(i) writes are written after all pieces ran, in the order of i. work
// must not touch what another piece writes.
void ParallelForInOrder(size_t count, const std::function<void(size_t)>& work, unsigned threads = 0);

// The threads ParallelForInOrder uses when asked for 0: one per core, at least 1.
unsigned ParallelThreadCount();

// Global allocations of the benchmark program, counted by its replacement of
// operator new (bench/AllocationCount.cpp), so that a benchmark can check
// what its timed code allocated.
#pragma once

namespace tessok::bench {

// Allocations made through operator new since the program started, all threads.
long Allocations();

}  // namespace tessok::bench

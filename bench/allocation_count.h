// Counts every C++ allocation in the process, so a benchmark can report how
// many its measured call made. Include it in exactly one file of a benchmark
// program: it replaces the global operator new and delete.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

// (GCC cannot see that these replacements pair malloc with free.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<int64_t> Allocations{0};
void* operator new(size_t size) {
    Allocations++;
    if (void* p = std::malloc(size ? size : 1)) return p;
    std::abort();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

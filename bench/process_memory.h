#pragma once
// This process's memory, for before-and-after comparisons: the resident set as the system counts
// it, and the bytes the allocator has handed out and not had back.

#include <malloc.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace zelto::bench {

struct MemorySample {
    std::int64_t residentKb = 0;  // VmRSS
    std::int64_t heapBytes = 0;   // allocated and not freed (malloc's in-use bytes, mmap'ed too)
};

inline MemorySample SampleMemory() {
    MemorySample sample;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> sample.residentKb;
            break;
        }
        status.ignore(1 << 16, '\n');
    }
    const struct mallinfo2 info = mallinfo2();
    sample.heapBytes = static_cast<std::int64_t>(info.uordblks + info.hblkhd);
    return sample;
}

}  // namespace zelto::bench

#pragma once
// This process's memory for before-and-after comparisons (soak, benchmark): the resident set as
// the system counts it, and the heap bytes handed out and not yet given back. Under
// AddressSanitizer the allocator is the sanitizer's, so the heap figure comes from it (malloc's
// own statistics stay empty there).

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define ZELTO_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELTO_SOAK_ASAN 1
#endif
#endif

#ifdef ZELTO_SOAK_ASAN
// From the sanitizer runtime (declared in sanitizer/allocator_interface.h, which not every
// compiler installation ships).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace zelto::test {

struct MemorySample {
    std::int64_t residentKb = 0;  // VmRSS
    std::int64_t heapBytes = 0;   // allocated and not freed
};

inline constexpr bool kUnderAddressSanitizer =
#ifdef ZELTO_SOAK_ASAN
    true;
#else
    false;
#endif

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
#ifdef ZELTO_SOAK_ASAN
    sample.heapBytes = static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    sample.heapBytes = static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
    return sample;
}

}  // namespace zelto::test

// Counts every allocation through the global operator new of the test program, so a test can
// prove that a steady frame allocates nothing. Include it in exactly one source file of a test
// program. Under AddressSanitizer the sanitizer owns operator new, and nothing is counted.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define ORV_COUNTING_NEW 0
#else
#define ORV_COUNTING_NEW 1

namespace OrvTest
{
inline std::atomic<long> allocationCount{0};
} // namespace OrvTest

// operator new takes its blocks from malloc, so operator delete gives them back with free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    ++OrvTest::allocationCount;
    if (void* block = std::malloc(size == 0 ? 1 : size))
    {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop
#endif

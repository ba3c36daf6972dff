// This test binary's global operator new counts every allocation, so that a test can show
// that the mixing callback allocates nothing. Kept in its own file so that the compiler
// does not inline the replacement into its callers.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> gAllocations{0};
}

namespace tandrel::test {
long AllocationCount()
{
    return gAllocations.load(std::memory_order_relaxed);
}
} // namespace tandrel::test

void* operator new(std::size_t size)
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

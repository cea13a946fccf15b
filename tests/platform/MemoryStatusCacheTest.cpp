#include <TestSupport.h>
#include <platform/memory.h>

using namespace std::chrono_literals;

namespace {

TEST(MemoryStatusCache, ReadsTheSourceOncePerAgeAndAnswersTheLastReading)
{
    struct {
        std::chrono::steady_clock::duration max_age;
        int calls;
        uint64_t reads; // what the source saw, and so what the last call answers
    } const cases[] = { { 1h, 500, 1 }, // a block every few milliseconds reads once
        { 0s, 5, 5 } }; // an age of nothing reads every time: a drop is never hidden
    for (auto const& [max_age, calls, expected] : cases) {
        uint64_t reads = 0;
        platform::MemoryStatusCache cache(
            [&] {
                platform::MemoryStatus status;
                status.avail_phys = ++reads;
                return status;
            },
            max_age);
        platform::MemoryStatus last;
        for (int i = 0; i < calls; ++i)
            last = cache.get();
        EXPECT_EQ(std::pair(reads, last.avail_phys), std::pair(expected, expected)) << calls << " calls";
    }
}

} // namespace

#include <TestSupport.h>
#include <platform/memory.h>

using namespace std::chrono_literals;

namespace {

struct CacheCase {
    std::chrono::steady_clock::duration max_age;
    int calls;
    uint64_t reads; // what the source saw, and so what the last call answers
};

class MemoryStatusCacheTest : public ::testing::TestWithParam<CacheCase> { };

TEST_P(MemoryStatusCacheTest, ReadsTheSourceOncePerAgeAndAnswersTheLastReading)
{
    uint64_t reads = 0;
    platform::MemoryStatusCache cache(
        [&] {
            platform::MemoryStatus status;
            status.avail_phys = ++reads;
            return status;
        },
        GetParam().max_age);
    platform::MemoryStatus last;
    for (int i = 0; i < GetParam().calls; ++i)
        last = cache.get();
    EXPECT_EQ(std::pair(reads, last.avail_phys), std::pair(GetParam().reads, GetParam().reads));
}

INSTANTIATE_TEST_SUITE_P(Ages, MemoryStatusCacheTest,
    ::testing::Values(CacheCase { 1h, 500, 1 }, // a block every few milliseconds reads once
        CacheCase { 0s, 5, 5 })); // an age of nothing reads every time: a drop is never hidden

} // namespace

#include <atomic>
#include <core/SharedBuffer.h>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using core::SharedBuffer;

namespace {

auto const bytes = [](std::string const& text) { return SharedBuffer(text.size(), text.data()); };
auto const text_of
    = [](SharedBuffer const& b) { return std::string(reinterpret_cast<char const*>(b.data()), b.length()); };

TEST(SharedBuffer, ViewsWriteAloneSlicesKeepTheirPlaceCopiesTakeWhatFitsAndViewsCrossThreads)
{
    SharedBuffer a = bytes("abcdef");
    SharedBuffer b = a;
    EXPECT_EQ(a.use_count(), 2);
    b.writable()[0] = 'X';
    EXPECT_EQ(std::tuple(text_of(a), text_of(b), a.use_count(), b.use_count()), std::tuple("abcdef", "Xbcdef", 1, 1));
    EXPECT_EQ(b.writable(), b.writable()) << "an unshared block is written in place";
    SharedBuffer slice;
    {
        SharedBuffer parent = bytes("0123456789");
        slice = SharedBuffer(parent, 4, 3);
    }
    EXPECT_EQ(std::tuple(slice.use_count(), text_of(slice)), std::tuple(1, "456"));
    slice.writable()[0] = 'x';
    EXPECT_EQ(text_of(slice), "x56");
    SharedBuffer sub(slice, 1, 100);
    EXPECT_EQ(text_of(sub), "56") << "a slice is clamped to its parent view";
    // What copy_from answers and what the target holds after it; empty views have no frames.
    auto const copy = [](SharedBuffer& to, size_t at, SharedBuffer const& from) {
        size_t const n = to.copy_from(at, from);
        return std::pair(n, text_of(to));
    };
    SharedBuffer target = bytes("........"), self = bytes("abcdef"), empty, zero(0);
    EXPECT_EQ(copy(target, 6, bytes("abcd")), std::pair(size_t(2), std::string("......ab")));
    EXPECT_EQ(copy(target, 8, bytes("z")), std::pair(size_t(0), std::string("......ab")));
    target.fill('-');
    EXPECT_EQ(text_of(target), "--------");
    EXPECT_EQ(copy(self, 2, SharedBuffer(self, 0, 4)), std::pair(size_t(4), std::string("ababcd")))
        << "a source sharing the block";
    EXPECT_EQ(std::tuple(empty.empty(), empty.use_count(), zero.length(), zero.copy_from(0, bytes("a"))),
        std::tuple(true, 0, 0u, 0u));
    // Views of one block copied, sliced and dropped on several threads at once, while each thread also
    // writes its own copy: the count must end at one and no thread may see another's writes.
    SharedBuffer shared(4096);
    shared.fill(7);
    std::vector<std::thread> threads;
    std::atomic<int> foreign_writes { 0 };
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                SharedBuffer copy = shared;
                SharedBuffer slice(copy, static_cast<size_t>(i % 100), 64);
                if (slice.data()[0] != 7)
                    foreign_writes.fetch_add(1);
                if (i % 10 == 0) {
                    SharedBuffer own = slice;
                    own.writable()[0] = static_cast<uint8_t>(t);
                }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(std::tuple(foreign_writes.load(), shared.use_count(), shared.data()[0]), std::tuple(0, 1, 7));
}

} // namespace

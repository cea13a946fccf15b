// A file longer than the memory queue between capture and writer holds (ten million bytes) goes through
// the whole recording chain as fast as the writer takes it: nothing overflows, and nothing is lost.
#include "CliTest.h"

using namespace cli_test;

namespace {

TEST(Encode, AFileLongerThanTheMemoryQueueLosesNoSample)
{
    std::string const dir = testing_support::fresh_dir("flac-long");
    // 60 s of 48 kHz stereo: 11.5 MB of samples.
    std::string const in = sox_input(dir + "/Long.wav", 48000, 2, 60.0), out = dir + "/long.flac";
    auto const r = encode(in, out, "--format FLAC");
    ASSERT_EQ(r.exit_code, 0) << r.error;
    std::vector<int16_t> const want = samples16(run("sox " + in + " -t s16 -").output);
    std::vector<int16_t> const got = ffmpeg_samples(out);
    ASSERT_EQ(want.size(), size_t(60 * 48000 * 2));
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the decoded samples differ from the input's";
}

} // namespace

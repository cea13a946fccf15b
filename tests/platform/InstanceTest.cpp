#include <TestSupport.h>
#include <cstring>
#include <mutex>
#include <platform/services/instance.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform;

namespace {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(std::getenv("XDG_RUNTIME_DIR")); }

    std::unique_ptr<InstanceServer> serve(std::optional<uint32_t> uid = {})
    {
        auto const report = [this](std::string const& problem) {
            std::lock_guard lock(mutex);
            reports.push_back(problem);
        };
        return std::make_unique<InstanceServer>(NAME, window, report, uid);
    }

    // The next WM_COPYDATA's bytes; none when nothing else arrives within 0.3 s.
    std::optional<std::vector<uint8_t>> received()
    {
        set_timer(window, 9, 300);
        Message m;
        std::optional<std::vector<uint8_t>> bytes;
        while (!bytes && get_message(m, window, 0, 0) != 0 && m.message != WM_TIMER)
            if (m.message == WM_COPYDATA)
                bytes = std::unique_ptr<CopyData>(reinterpret_cast<CopyData*>(m.lparam))->bytes;
        kill_timer(window, 9);
        return bytes;
    }

    static sockaddr_un socket_address()
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (instance_folder() + "/InstanceTest.sock").c_str());
        return address;
    }

    // A client's end of a new connection; -1 when it cannot connect.
    static int connected()
    {
        int const fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = socket_address();
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
        return fd;
    }

    // Sends raw bytes as a client would, then closes.
    void send_raw(std::string const& bytes)
    {
        int const fd = connected();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        shutdown(fd, SHUT_WR);
        char answer;
        EXPECT_LE(read(fd, &answer, 1), 0); // no acknowledgement for what was dropped
        close(fd);
    }

    std::string last_report()
    {
        std::lock_guard lock(mutex);
        return reports.empty() ? std::string() : reports.back();
    }

    static constexpr char16_t NAME[] = u"InstanceTest";
    testing_support::TestWindow const test_window { u"InstanceTestWindow" };
    Hwnd const window = test_window.handle;
    std::mutex mutex;
    std::vector<std::string> reports;
};

std::string header(uint32_t data, uint32_t count)
{
    std::string h = "RVCD";
    for (uint32_t v : { data, count })
        for (int i = 0; i < 4; ++i)
            h += static_cast<char>(v >> (8 * i));
    return h;
}

} // namespace

TEST_F(InstanceTest, AMessageReachesTheWindowAndTheFolderIsPrivate)
{
    EXPECT_EQ(send_to_instance(NAME, 0, { 1, 2 }), SendResult::NO_INSTANCE);
    auto server = serve();
    ASSERT_TRUE(server->listening());
    EXPECT_EQ(std::filesystem::status(instance_folder()).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_all);
    std::vector<uint8_t> const bytes(MAX_COPY_BYTES, 7);
    EXPECT_EQ(send_to_instance(NAME, 0, bytes), SendResult::SENT);
    EXPECT_EQ(received(), bytes);
}

TEST_F(InstanceTest, APeerOfAnotherUserIsRefused)
{
    auto server = serve(getuid() + 1);
    EXPECT_EQ(send_to_instance(NAME, 0, { 1, 2 }), SendResult::FAILED);
    EXPECT_EQ(received(), std::nullopt);
    EXPECT_NE(last_report().find("refused"), std::string::npos) << last_report();
}

TEST_F(InstanceTest, MalformedAndOversizedMessagesAreDropped)
{
    auto server = serve();
    std::pair<std::string, char const*> const cases[] = {
        // the bytes, and what the report names
        { "HELLO, this is not a message", "header" },
        { "RVC", "header" },
        { header(0, MAX_COPY_BYTES + 1) + std::string(64, 'x'), "over 32 KiB" },
        { header(0, 0xFFFFFFFF), "over 32 KiB" },
        { header(0, 10) + "abcd", "shorter than its length" },
    };
    for (auto const& [bytes, report] : cases) {
        send_raw(bytes);
        EXPECT_EQ(received(), std::nullopt) << report;
        EXPECT_NE(last_report().find(report), std::string::npos) << last_report();
    }
    // The server goes on taking good messages.
    EXPECT_EQ(send_to_instance(NAME, 0, { 5, 6 }), SendResult::SENT);
    EXPECT_EQ(received(), (std::vector<uint8_t> { 5, 6 }));
}

// Clients that connect and send nothing, or part of a header, hold up no later start: its hand-over is
// taken at once, and the stragglers are dropped once their time is up.
TEST_F(InstanceTest, IdleAndSlowClientsHoldUpNoHandOver)
{
    auto server = serve();
    std::vector<int> idle;
    for (int i = 0; i < 9; ++i)
        idle.push_back(connected());
    int const slow = connected();
    ASSERT_EQ(write(slow, "RV", 2), 2);
    EXPECT_EQ(send_to_instance(NAME, 0, { 7, 8 }), SendResult::SENT);
    EXPECT_EQ(received(), (std::vector<uint8_t> { 7, 8 }));
    char answer;
    EXPECT_EQ(read(slow, &answer, 1), 0); // closed by the server, unanswered
    EXPECT_NE(last_report().find("no whole message"), std::string::npos) << last_report();
    for (int fd : idle)
        close(fd);
    close(slow);
}

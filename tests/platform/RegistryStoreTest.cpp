#include <TestSupport.h>
#include <cstdio>
#include <platform/services/registry_store.h>
#include <platform/services/registry_values.h>
#include <unistd.h>

using namespace platform;

namespace {

constexpr auto CU = RegistryRoot::CURRENT_USER;

RegistryValue dword(uint32_t n)
{
    return RegistryValue { REG_DWORD, { uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24) } };
}

std::string store_path()
{
    return testing_support::fresh_dir("reg") + "/r.db";
}

// A store at `path` whose "K" holds the text "Format" = "Mp3High".
void format_stored(std::string const& path)
{
    RegistryStore store(path);
    write_text(store, CU, u"K", u"Format", u"Mp3High");
}

TEST(RegistryStore, KeysAreCreatedWithTheirParentsAndListedInCreationOrder)
{
    RegistryStore store(store_path());
    ASSERT_TRUE(store.is_open());
    EXPECT_FALSE(store.key_exists(CU, u"Software\\Korvex"));
    ASSERT_TRUE(store.create_key(CU, u"Software\\Korvex\\Ravelin") && store.create_key(CU, u"Software\\Korvex\\Alpha"));
    EXPECT_TRUE(store.key_exists(CU, u"software\\KORVEX"));
    EXPECT_FALSE(store.key_exists(RegistryRoot::LOCAL_MACHINE, u"Software\\Korvex"));
    EXPECT_EQ(store.subkeys(CU, u"Software\\Korvex"), (std::vector<std::u16string> { u"Ravelin", u"Alpha" }));
    EXPECT_FALSE(store.subkeys(CU, u"Nothing"));
}

TEST(RegistryStore, ValuesKeepTheirTypeAndNamesIgnoreCase)
{
    RegistryStore store(store_path());
    ASSERT_TRUE(store.set(CU, u"K", u"Volume", dword(524288)));
    auto v = store.query(CU, u"k", u"VOLUME");
    ASSERT_TRUE(v);
    EXPECT_EQ(std::pair(v->type, v->data), std::pair(REG_DWORD, dword(524288).data));
    ASSERT_TRUE(store.set(CU, u"K", u"volume", RegistryValue { REG_SZ, { 'a', 0, 0, 0 } }));
    EXPECT_EQ(store.query(CU, u"K", u"Volume").value_or(dword(0)).type, REG_SZ);
    EXPECT_TRUE(store.remove_value(CU, u"K", u"Volume"));
    EXPECT_FALSE(store.query(CU, u"K", u"Volume"));
}

// Text and numbers have one coding for every reader. A value of at most one byte reads as empty text
// whatever its type, as the handheld's first, one-byte query answers it; a longer one is text only when
// it is of the text type.
TEST(RegistryStore, TypedReadsOfShortAndMistypedValues)
{
    RegistryStore store(store_path());
    using Case = std::pair<RegistryValue, std::optional<std::u16string>>; // stored, read as text
    for (auto const& [stored, text] : { Case { { REG_DWORD, {} }, u"" }, Case { { REG_DWORD, { 7 } }, u"" },
             Case { { REG_SZ, { 'a' } }, u"" }, Case { { REG_DWORD, { 'a', 0 } }, std::nullopt },
             Case { { REG_SZ, { 'a', 0, 0x16, 0x04, 0, 0, 'b', 0 } }, u"a\u0416" } }) {
        ASSERT_TRUE(store.set(CU, u"K", u"V", stored));
        EXPECT_EQ(read_text(store, CU, u"K", u"V"), text) << stored.data.size() << " bytes";
        EXPECT_FALSE(read_dword(store, CU, u"K", u"V"));
    }
    ASSERT_TRUE(write_text(store, CU, u"K", u"V", u"a\u0416"));
    EXPECT_EQ(store.query(CU, u"K", u"V")->data, (std::vector<uint8_t> { 'a', 0, 0x16, 0x04, 0, 0 }));
    ASSERT_TRUE(write_dword(store, CU, u"K", u"V", 0x12345678));
    EXPECT_EQ(store.query(CU, u"K", u"V")->data, dword(0x12345678).data);
    EXPECT_EQ(read_dword(store, CU, u"K", u"V"), 0x12345678u);
}

TEST(RegistryStore, AnUnusableFileFailsEveryOperation)
{
    RegistryStore store("/proc/ravelin-no-such-place/r.db");
    EXPECT_FALSE(store.is_open() || store.create_key(CU, u"K") || store.set(CU, u"K", u"V", dword(1))
        || store.query(CU, u"K", u"V") || store.flush());
}

TEST(RegistryStore, OnlyAKeyWithoutSubKeysIsRemovedAndItsValuesGoWithIt)
{
    RegistryStore store(store_path());
    auto const m = RegistryRoot::LOCAL_MACHINE;
    ASSERT_TRUE(store.set(m, u"A\\B", u"V", RegistryValue { REG_DWORD, { 1, 0, 0, 0 } }));
    EXPECT_FALSE(store.remove_key(m, u"A")) << "it has a sub-key";
    EXPECT_TRUE(store.remove_key(m, u"A\\B"));
    EXPECT_FALSE(store.key_exists(m, u"A\\B") || store.remove_key(m, u"A\\B"));
    ASSERT_TRUE(store.create_key(m, u"A\\B"));
    EXPECT_FALSE(store.query(m, u"A\\B", u"V")) << "a key made again has none of the old values";
    EXPECT_EQ(store.subkeys(m, u"A"), (std::vector<std::u16string> { u"B" }));
}

// Another process (Python's own SQLite) in the middle of a write transaction on the store, as a user's
// "sqlite3 registry.db" with "BEGIN EXCLUSIVE;" would be, until release().
class StoreHolder {
public:
    explicit StoreHolder(std::string const& path)
        : release_file_(path + ".release")
    {
        std::string const script = "import sqlite3, os, time, sys\n"
                                   "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                   "c.execute('BEGIN EXCLUSIVE')\n"
                                   "print('held', flush=True)\n"
                                   "while not os.path.exists(sys.argv[2]): time.sleep(0.02)\n"
                                   "c.execute('COMMIT')\n";
        testing_support::write_file(path + ".hold.py", script);
        pipe_ = popen(("python3 '" + path + ".hold.py' '" + path + "' '" + release_file_ + "'").c_str(), "r");
        char line[16] = {};
        held_ = pipe_ && std::fgets(line, sizeof line, pipe_) && std::string(line) == "held\n";
    }
    ~StoreHolder() { release(); }
    bool held() const { return held_; }
    void release()
    {
        if (!pipe_)
            return;
        testing_support::write_file(release_file_, "");
        pclose(pipe_);
        pipe_ = nullptr;
    }

private:
    std::string release_file_;
    FILE* pipe_ = nullptr;
    bool held_ = false;
};

// A store another process holds is read as usual; what is written meanwhile reads back at once and goes
// in once the other process lets go.
TEST(RegistryStore, AStoreHeldByAnotherProcessIsReadAndWrittenLater)
{
    std::string const path = store_path();
    format_stored(path);
    StoreHolder holder(path);
    ASSERT_TRUE(holder.held());

    RegistryStore store(path); // as a program started now opens it
    ASSERT_TRUE(store.is_open());
    EXPECT_EQ(read_text(store, CU, u"K", u"Format"), u"Mp3High");
    EXPECT_TRUE(store.set(CU, u"K", u"Volume", dword(5)) && store.create_key(CU, u"K\\New")
        && store.remove_value(CU, u"K", u"Format"));
    EXPECT_EQ(store.pending_writes(), 3u);
    EXPECT_EQ(store.problem(), "busy");
    // What was written reads back at once, and from another connection once the holder lets go.
    auto const written = [&](RegistryStore& s) {
        EXPECT_EQ(s.query(CU, u"K", u"Volume")->data, dword(5).data);
        EXPECT_FALSE(s.query(CU, u"K", u"Format"));
        EXPECT_EQ(s.subkeys(CU, u"K"), (std::vector<std::u16string> { u"New" }));
    };
    written(store);
    EXPECT_TRUE(store.key_exists(CU, u"K\\New") && store.flush());
    EXPECT_FALSE(store.sync(std::chrono::milliseconds(300))) << "still held";
    holder.release();
    EXPECT_TRUE(store.sync(std::chrono::seconds(5)));
    RegistryStore other(path);
    written(other);
}

// A store in a folder this user may not write (another user's, or a read-only mount) is read, and every
// write fails at once. Run as another user when the tests run as root, whom permissions do not stop.
TEST(RegistryStoreDeathTest, AStoreThisUserMayNotWriteIsReadAndRefusesWrites)
{
    char pattern[] = "/tmp/ravelin-readonly-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    std::string const dir = pattern;
    std::string const path = dir + "/r.db";
    format_stored(path);
    namespace fs = std::filesystem;
    fs::permissions(dir, fs::perms(0555));
    fs::permissions(path, fs::perms(0444));
    EXPECT_EXIT(
        {
            if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                std::exit(100);
            RegistryStore store(path);
            int failed = 0;
            failed |= store.is_open() ? 0 : 1;
            failed |= read_text(store, CU, u"K", u"Format") == u"Mp3High" ? 0 : 2;
            failed |= store.is_read_only() && store.problem() == "read-only" ? 0 : 4;
            failed |= store.set(CU, u"K", u"Volume", dword(5)) ? 8 : 0;
            failed |= store.pending_writes() == 0 && !store.flush() ? 0 : 16;
            std::exit(failed);
        },
        ::testing::ExitedWithCode(0), "");
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
}

} // namespace

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <platform/registry_store.h>

using namespace platform;

namespace {

RegistryValue dword(uint32_t n)
{
    return RegistryValue { REG_DWORD, { uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24) } };
}

TEST(RegistryStore, KeysAreCreatedWithTheirParentsAndListedInCreationOrder)
{
    RegistryStore store(testing_support::fresh_dir("reg") + "/r.db");
    ASSERT_TRUE(store.is_open());
    EXPECT_FALSE(store.key_exists(RegistryRoot::CURRENT_USER, u"Software\\Korvex"));
    ASSERT_TRUE(store.create_key(RegistryRoot::CURRENT_USER, u"Software\\Korvex\\Ravelin"));
    ASSERT_TRUE(store.create_key(RegistryRoot::CURRENT_USER, u"Software\\Korvex\\Alpha"));
    EXPECT_TRUE(store.key_exists(RegistryRoot::CURRENT_USER, u"software\\KORVEX"));
    EXPECT_FALSE(store.key_exists(RegistryRoot::LOCAL_MACHINE, u"Software\\Korvex"));
    auto names = store.subkeys(RegistryRoot::CURRENT_USER, u"Software\\Korvex");
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::u16string> { u"Ravelin", u"Alpha" }));
    EXPECT_FALSE(store.subkeys(RegistryRoot::CURRENT_USER, u"Nothing"));
}

TEST(RegistryStore, ValuesKeepTheirTypeAndNamesIgnoreCase)
{
    RegistryStore store(testing_support::fresh_dir("reg") + "/r.db");
    ASSERT_TRUE(store.set(RegistryRoot::CURRENT_USER, u"K", u"Volume", dword(524288)));
    auto v = store.query(RegistryRoot::CURRENT_USER, u"k", u"VOLUME");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_DWORD);
    EXPECT_EQ(v->data, dword(524288).data);
    ASSERT_TRUE(store.set(RegistryRoot::CURRENT_USER, u"K", u"volume", RegistryValue { REG_SZ, { 'a', 0, 0, 0 } }));
    v = store.query(RegistryRoot::CURRENT_USER, u"K", u"Volume");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_SZ);
    EXPECT_TRUE(store.remove_value(RegistryRoot::CURRENT_USER, u"K", u"Volume"));
    EXPECT_FALSE(store.query(RegistryRoot::CURRENT_USER, u"K", u"Volume"));
}

TEST(RegistryStore, AnotherConnectionsWriteIsSeenDespiteTheCache)
{
    std::string const path = testing_support::fresh_dir("reg") + "/r.db";
    RegistryStore reader(path);
    RegistryStore writer(path); // stands in for another process: its own connection and mapping
    writer.set(RegistryRoot::CURRENT_USER, u"Software\\Korvex", u"Log", dword(0));
    uint64_t const before = reader.change_count();
    ASSERT_EQ(reader.query(RegistryRoot::CURRENT_USER, u"Software\\Korvex", u"Log")->data, dword(0).data);
    EXPECT_EQ(reader.change_count(), before) << "a read changes nothing";
    writer.set(RegistryRoot::CURRENT_USER, u"Software\\Korvex", u"Log", dword(1));
    EXPECT_NE(reader.change_count(), before);
    EXPECT_EQ(reader.query(RegistryRoot::CURRENT_USER, u"Software\\Korvex", u"Log")->data, dword(1).data);
    EXPECT_TRUE(reader.flush());
}

TEST(RegistryStore, AnUnusableFileFailsEveryOperation)
{
    RegistryStore store("/proc/ravelin-no-such-place/r.db");
    EXPECT_FALSE(store.is_open());
    EXPECT_FALSE(store.create_key(RegistryRoot::CURRENT_USER, u"K"));
    EXPECT_FALSE(store.set(RegistryRoot::CURRENT_USER, u"K", u"V", dword(1)));
    EXPECT_FALSE(store.query(RegistryRoot::CURRENT_USER, u"K", u"V"));
    EXPECT_FALSE(store.flush());
}

TEST(RegistryStore, OnlyAKeyWithoutSubKeysIsRemovedAndItsValuesGoWithIt)
{
    RegistryStore store(testing_support::fresh_dir("reg") + "/r.db");
    auto const m = RegistryRoot::LOCAL_MACHINE;
    ASSERT_TRUE(store.set(m, u"A\\B", u"V", RegistryValue { REG_DWORD, { 1, 0, 0, 0 } }));
    EXPECT_FALSE(store.remove_key(m, u"A")) << "it has a sub-key";
    EXPECT_TRUE(store.remove_key(m, u"A\\B"));
    EXPECT_FALSE(store.key_exists(m, u"A\\B"));
    EXPECT_FALSE(store.remove_key(m, u"A\\B"));
    ASSERT_TRUE(store.create_key(m, u"A\\B"));
    EXPECT_FALSE(store.query(m, u"A\\B", u"V")) << "a key made again has none of the old values";
    EXPECT_EQ(store.subkeys(m, u"A"), (std::vector<std::u16string> { u"B" }));
}

} // namespace

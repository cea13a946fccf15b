#include <TestSupport.h>
#include <core/Log.h>
#include <os/Registry.h>
#include <platform/services/registry_store.h>
#include <platform/services/registry_values.h>

namespace {

// The log reads its setting once per change of the store: a switch made by another process (its own
// connection to the same store) still takes effect at the next log call, either way.
TEST(LogSetting, AnotherProcessSwitchingTheLogTakesEffectAtTheNextCall)
{
    auto const path = testing_support::test_home() + "/state/ravelin/core_tests.txt";
    platform::RegistryStore other(platform::RegistryStore::instance().path());
    auto const switch_log = [&](uint32_t on) {
        ASSERT_TRUE(
            platform::write_dword(other, platform::RegistryRoot::CURRENT_USER, u"Software\\Korvex", u"Log", on));
    };
    ASSERT_TRUE(os::reg_set_dword(os::MAKER_KEY, u"Log", 0));
    core::log() << "off\n";
    switch_log(1);
    core::log() << "on\n";
    switch_log(0);
    core::log() << "off again\n";
    EXPECT_EQ(testing_support::read_utf16_file(path), u"on\n");
}

} // namespace

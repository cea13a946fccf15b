#include <EvdevSource.h>
#include <TestSupport.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <platform/services/registry_values.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using testing_support::FakeStarter;

namespace {

// A real virtual device, made through the kernel's uinput, seen by the service as any other device.
TEST(EvdevSource, AVirtualDevicesRecordButtonRunsTheBoundCommandAndItsRemovalIsSeen)
{
    if (::access("/dev/uinput", R_OK | W_OK) != 0) {
        std::puts("no /dev/uinput on this machine (or no access to it): the virtual-device test is skipped");
        GTEST_SKIP() << "no /dev/uinput";
    }
    RegistryStore store(testing_support::fresh_dir("uinput") + "/registry.db");
    ASSERT_TRUE(write_text(store, RegistryRoot::LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Keys\\Record", u"",
        u"\"/opt/x/ravelin\" record"));
    FakeStarter starter;
    KeyService service(store, starter);
    EvdevSource source;

    libevdev* dev = libevdev_new();
    libevdev_set_name(dev, "ravelin test buttons");
    libevdev_enable_event_type(dev, EV_KEY);
    libevdev_enable_event_code(dev, EV_KEY, KEY_RECORD, nullptr);
    libevdev_uinput* uinput = nullptr;
    ASSERT_EQ(libevdev_uinput_create_from_device(dev, LIBEVDEV_UINPUT_OPEN_MANAGED, &uinput), 0);
    std::string const node = libevdev_uinput_get_devnode(uinput);
    std::string const id = node.substr(node.rfind('/') + 1);

    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool removed = false;
    auto wait_for = [&](auto done) {
        while (!done() && std::chrono::steady_clock::now() < deadline)
            if (auto e = source.next(100)) {
                removed = removed || (e->kind == InputEvent::Kind::REMOVED && e->device.id == id);
                service.handle(*e);
            }
        return done();
    };
    ASSERT_TRUE(wait_for([&] {
        return read_text(store, RegistryRoot::LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Keys\\Record", u"Name")
            .has_value();
    })) << "the device's button is published";
    for (int value : { 1, 2, 2, 0 }) {
        libevdev_uinput_write_event(uinput, EV_KEY, KEY_RECORD, value);
        libevdev_uinput_write_event(uinput, EV_SYN, SYN_REPORT, 0);
    }
    EXPECT_TRUE(wait_for([&] { return !starter.started.empty(); }));
    libevdev_uinput_destroy(uinput);
    libevdev_free(dev);
    EXPECT_TRUE(wait_for([&] { return removed; }) && starter.started.size() == 1) << starter.started.size();
}

// A folder whose "event" nodes are no input devices (or vanish): nothing is reported and nothing breaks.
TEST(EvdevSource, NodesThatAreNoDevicesAreIgnoredAndDevicesNotOpenedAreNoAccess)
{
    std::string const input = testing_support::fresh_dir("input");
    testing_support::write_file(input + "/event0", "not a device");
    EvdevSource watched(input);
    EXPECT_FALSE(watched.folder_missing() || watched.lacks_access());
    testing_support::write_file(input + "/event1", "");
    ::unlink((input + "/event0").c_str());
    EXPECT_FALSE(watched.next(50)) << "no device added or removed";

    EvdevSource missing(input + "/none");
    EXPECT_TRUE(missing.folder_missing() && !missing.next(0));
    // A user outside the "input" group may list the devices but not open them: the source says so (the service
    // then prints its one line) and reports no device.
    char pattern[] = "/tmp/ravelin-input-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    std::string const folder = pattern;
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    testing_support::write_file(folder + "/event0", "");
    ASSERT_EQ(::chmod((folder + "/event0").c_str(), 0600), 0);
    auto const look = [&] {
        EvdevSource source(folder);
        return source.lacks_access() && !source.folder_missing() && !source.next(0);
    };
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod((folder + "/event0").c_str(), 0), 0);
        EXPECT_TRUE(look());
    } else {
        // Root opens anything: the look is made by a child that has become an ordinary user.
        pid_t const child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && look() ? 0 : 1);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::filesystem::remove_all(folder);
}

} // namespace

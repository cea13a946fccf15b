#pragma once

#include <PrivateBus.h>
#include <TestSupport.h>
#include <algorithm>
#include <map>

// Private system and session buses for one test, with python3-dbusmock's stand-ins on them; the test's
// environment (and so every program it starts) points at them while they live.
namespace session_test {

using testing_support::run;
using testing_support::wait_until;

class SessionBuses {
public:
    // False, with why, where the machine has no dbus-daemon, gdbus or python3-dbusmock: the test skips.
    bool start(std::string& why)
    {
        if (run("command -v gdbus && /usr/bin/python3 -c 'import dbusmock'").exit_code != 0) {
            why = "gdbus or python3-dbusmock is not installed";
            return false;
        }
        dir_ = testing_support::fresh_dir("buses");
        testing_support::write_file(dir_ + "/bus.conf", private_bus::QUIET_BUS_CONFIG);
        char const* const variables[] = { "DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS" };
        for (size_t i = 0; i < 2; ++i) {
            std::string const address = private_bus::start_bus("--config-file=" + dir_ + "/bus.conf", buses_[i], why);
            if (address.empty())
                return false;
            setenv(variables[i], address.c_str(), 1);
        }
        return true;
    }
    // The buses go, and with them their stand-ins; the environment keeps addresses where nothing answers.
    ~SessionBuses()
    {
        for (pid_t& pid : buses_)
            private_bus::stop(pid);
    }
    // A stand-in owning `name` on `bus` ("--system" or "--session"), started with dbusmock's `arguments`
    // ("--template T", or none for a bare one at the path of its name); waits until the name is on the bus.
    bool mock(std::string const& bus, std::string const& name, std::string arguments = "")
    {
        arguments = arguments.empty() ? name + " " + path(name) + " " + name : arguments;
        std::string const pid = run("/usr/bin/python3 -m dbusmock " + bus + " " + arguments + " >>" + dir_
            + "/mocks.txt 2>&1 </dev/null & echo $!")
                                    .output;
        mocks_[name] = pid.substr(0, pid.find('\n'));
        return run("gdbus wait " + bus + " " + name + " --timeout 10").exit_code == 0;
    }
    // Ends the stand-in owning `name`; returns once the name has left the bus (nothing here is activated,
    // so gdbus then fails at once).
    void end_mock(std::string const& bus, std::string const& name)
    {
        run("kill " + mocks_[name] + "; for i in $(seq 100); do gdbus introspect " + bus + " --dest " + name
            + " --object-path / >/dev/null 2>&1 || break; sleep 0.05; done");
    }
    // A bare stand-in whose Inhibit (taking `in`) hands out a cookie that `uninhibit` takes back.
    bool cookie_service(std::string const& name, std::string const& in, std::string const& uninhibit)
    {
        std::string const add = "org.freedesktop.DBus.Mock.AddMethod '" + name + "' '";
        return mock("--session", name)
            && call(name, add + "Inhibit' '" + in + "' 'u' 'ret = dbus.UInt32(9)'").exit_code == 0
            && call(name, add + uninhibit + "' 'u' '' ''").exit_code == 0;
    }
    testing_support::CommandResult call(
        std::string const& name, std::string const& method, char const* bus = "--session") const
    {
        return run("gdbus call " + std::string(bus) + " --dest " + name + " --object-path " + path(name) + " --method "
            + method);
    }
    // The calls of `method` a stand-in has had, as gdbus prints them.
    std::string calls(std::string const& name, std::string const& method) const
    {
        return call(name, "org.freedesktop.DBus.Mock.GetMethodCalls '" + method + "'").output;
    }
    // logind's inhibitors as its stand-in lists them; whether one of them holds `piece`.
    bool held(std::string const& piece) const { return inhibitors().find(piece) != std::string::npos; }
    std::string inhibitors() const
    {
        return call("org.freedesktop.login1", "org.freedesktop.login1.Manager.ListInhibitors", "--system").output;
    }
    static std::string path(std::string name)
    {
        std::replace(name.begin(), name.end(), '.', '/');
        return "/" + name;
    }

private:
    std::string dir_;
    pid_t buses_[2] = { -1, -1 };
    std::map<std::string, std::string> mocks_; // the stand-ins' process ids by the names they own
};
inline size_t count(std::string const& text, std::string const& piece)
{
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}
} // namespace session_test

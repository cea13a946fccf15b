#pragma once

#include <PrivateBus.h>
#include <TestSupport.h>
#include <cstdlib>
#include <string>
#include <vector>

// Private system and session buses (dbus-daemon) for one test, with python3-dbusmock's stand-ins for the
// desktop's services on them; the test's environment (and so every program it starts) points at them
// while they live.
namespace session_test {

class SessionBuses {
public:
    // False, with why, where the machine has no dbus-daemon, gdbus or python3-dbusmock: the test skips.
    bool start(std::string& why)
    {
        using testing_support::run;
        if (run("command -v gdbus").exit_code != 0) {
            why = "gdbus is not installed";
            return false;
        }
        python_ = first_line(
            run("for p in /usr/bin/python3 python3; do $p -c 'import dbusmock' 2>/dev/null && echo $p && break; done")
                .output);
        if (python_.empty()) {
            why = "python3-dbusmock is not installed";
            return false;
        }
        dir_ = testing_support::fresh_dir("buses");
        testing_support::write_file(dir_ + "/bus.conf", private_bus::QUIET_BUS_CONFIG);
        for (auto const* variable : { "DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS" }) {
            pid_t pid = -1;
            std::string const address = private_bus::start_bus("--config-file=" + dir_ + "/bus.conf", pid, why);
            if (pid > 0)
                buses_.push_back(pid);
            if (address.empty())
                return false;
            char const* before = std::getenv(variable);
            saved_.push_back({ variable, before ? before : "", before != nullptr });
            setenv(variable, address.c_str(), 1);
        }
        return true;
    }

    ~SessionBuses()
    {
        for (auto const& [name, pid] : mocks_)
            testing_support::run("kill " + pid);
        for (pid_t& pid : buses_)
            private_bus::stop(pid);
        for (auto const& [variable, value, was_set] : saved_)
            was_set ? setenv(variable.c_str(), value.c_str(), 1) : unsetenv(variable.c_str());
    }

    // A stand-in on `bus` ("--system" or "--session") owning `name`: dbusmock's template (`what` a
    // template's name), or a bare object (`what` "OBJECT_PATH INTERFACE") to give methods with
    // add_method. Waits until the name is on the bus.
    bool mock(std::string const& bus, std::string const& name, std::string const& what, bool from_template = true)
    {
        std::string const arguments = from_template ? bus + " --template " + what : bus + " " + name + " " + what;
        auto const started = testing_support::run(
            python_ + " -m dbusmock " + arguments + " >" + dir_ + "/" + name + ".txt 2>&1 </dev/null & echo $!");
        mocks_.push_back({ name, first_line(started.output) });
        return testing_support::run("gdbus wait " + bus + " " + name + " --timeout 10").exit_code == 0;
    }

    // A method of a bare stand-in: `code` is Python that may set ret from args.
    bool add_method(std::string const& bus, std::string const& name, std::string const& path,
        std::string const& interface, std::string const& method, std::string const& in, std::string const& out,
        std::string const& code)
    {
        return call(bus, name, path, "org.freedesktop.DBus.Mock.AddMethod",
                   "'" + interface + "' '" + method + "' '" + in + "' '" + out + "' '" + code + "'")
                   .exit_code
            == 0;
    }

    testing_support::CommandResult call(std::string const& bus, std::string const& name, std::string const& path,
        std::string const& method, std::string const& arguments = "") const
    {
        return testing_support::run("gdbus call " + bus + " --dest " + name + " --object-path " + path + " --method "
            + method + " " + arguments);
    }

    // The calls of `method` a stand-in has had, as gdbus prints them.
    std::string calls(
        std::string const& bus, std::string const& name, std::string const& path, std::string const& method) const
    {
        return call(bus, name, path, "org.freedesktop.DBus.Mock.GetMethodCalls", "'" + method + "'").output;
    }

    static std::string first_line(std::string const& text) { return text.substr(0, text.find('\n')); }

private:
    struct Saved {
        std::string variable, value;
        bool was_set = false;
    };
    std::string python_, dir_;
    std::vector<pid_t> buses_;
    std::vector<std::pair<std::string, std::string>> mocks_;
    std::vector<Saved> saved_;
};

// logind's inhibitors as the stand-in lists them.
inline std::string inhibitors(SessionBuses const& buses)
{
    return buses
        .call("--system", "org.freedesktop.login1", "/org/freedesktop/login1",
            "org.freedesktop.login1.Manager.ListInhibitors")
        .output;
}

} // namespace session_test

#include "Launcher.h"

#include "Paths.h"

#include <algorithm>
#include <core/Log.h>
#include <platform/services/shell.h>

namespace os {

namespace {

constexpr double POLL_SECONDS = 0.05;

} // namespace

Launcher::Launcher(std::function<void()> on_failure)
    : on_failure_(std::move(on_failure))
    , poll_(this)
{
}

Launcher::~Launcher() = default;

void Launcher::start(core::StringView file, core::StringView parameters)
{
    core::log() << u"execute_file(" << file << u"} {" << parameters << u")\n";
    int64_t const launch = platform::launch(expand_path(file), core::String(parameters), WATCH_MS);
    if (launch < 0) {
        core::log() << u"execute_file: cannot start " << file << u"\n";
        on_failure_();
        return;
    }
    launches_.push_back({ launch, core::String(file) });
    if (!poll_.is_running())
        poll_.start(POLL_SECONDS);
}

void Launcher::on_timer(core::Timer& timer)
{
    if (&timer != &poll_)
        return;
    bool failed = false;
    std::erase_if(launches_, [&](Started const& started) {
        platform::LaunchOutcome const outcome = platform::launch_outcome(started.launch);
        if (outcome == platform::LaunchOutcome::PENDING)
            return false;
        if (outcome != platform::LaunchOutcome::STARTED) {
            core::log() << u"execute_file: "
                        << (outcome == platform::LaunchOutcome::NOT_STARTED ? u"cannot start " : u"failed at once ")
                        << expand_path(started.file) << u"\n";
            failed = true;
        }
        return true;
    });
    if (!launches_.empty())
        poll_.start(POLL_SECONDS);
    if (failed)
        on_failure_();
}

} // namespace os

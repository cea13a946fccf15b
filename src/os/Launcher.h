#pragma once

#include <core/Strings.h>
#include <core/Timer.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace os {

// Executes what the user asked for (the help page, the mail program) and says when it failed: when it
// could not be started, or when it ended with an error a moment later (xdg-open with nothing to open a
// page with, xdg-email with no mail program). The window never waits for it: the outcome is polled.
// Threads: main thread only.
class Launcher final : private core::TimerListener {
public:
    // How long a started program is watched for an early failure.
    static constexpr uint32_t WATCH_MS = 3000;

    explicit Launcher(std::function<void()> on_failure);
    ~Launcher() override;

    // Starts `file` (a path with macros, or a program on the search path) with its parameters.
    void start(core::StringView file, core::StringView parameters);
    bool watching() const { return !launches_.empty(); }

private:
    void on_timer(core::Timer& timer) override;

    std::function<void()> on_failure_;
    core::Timer poll_;
    struct Started {
        int64_t launch;
        core::String file;
    };
    std::vector<Started> launches_;
};

} // namespace os

#pragma once

#include "TestSupport.h"

#include <app/Application.h>
#include <cstdlib>
#include <platform/display/display.h>

namespace app_test {

// The program's own folder as the build makes it: skins, languages, keypad map, sounds.
inline auto const app_data = [] { return std::string(RAVELIN_BIN_DIR); };

// Points the program at its folder; the runtime folder of the single-instance socket exists.
inline void use_test_data()
{
    setenv("RAVELIN_APP_PATH", app_data().c_str(), 1);
    std::filesystem::create_directories(std::getenv("XDG_RUNTIME_DIR"));
}

inline platform::HeadlessDisplay& headless(app::Application& application)
{
    return dynamic_cast<platform::HeadlessDisplay&>(application.display());
}

// Runs the window's loop until `done` or `milliseconds` pass; a timer of its own keeps the loop waking
// while the program is inactive (when the frame timer stops). Answers whether `done` was reached.
template <typename Done = bool (*)()>
bool pump(
    app::Application& application, uint32_t milliseconds, Done done = [] { return false; })
{
    constexpr uintptr_t WAKE_TIMER = 77;
    platform::set_timer(application.window(), WAKE_TIMER, 5);
    uint32_t const end = platform::tick_count() + milliseconds;
    application.run_until([&] { return done() || static_cast<int32_t>(platform::tick_count() - end) >= 0; });
    platform::kill_timer(application.window(), WAKE_TIMER);
    return done();
}

} // namespace app_test

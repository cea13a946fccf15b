#pragma once

#include <functional>
#include <memory>
#include <string>

// Keeping the machine awake while the program records or plays: the system does not suspend (logind's
// "sleep" inhibitor in "block" mode, on the system bus), and, when asked, the screen does not blank
// (logind's "idle" inhibitor; the session's screen saver where there is no logind). Each is released by
// closing its descriptor or giving back its cookie, and goes with the process in any case.
//
// Threads: made, asked and destroyed on one thread; the bus work happens on a thread of its own, started
// by the first request for anything, so that a program that never records or plays never touches a bus.
namespace platform {

// What the program is doing that the machine must stay awake for.
struct Wakefulness {
    enum class Reason { NONE, RECORDING, PLAYING };
    Reason reason = Reason::NONE;
    // The screen stays on too (a playback someone watches).
    bool screen = false;

    friend bool operator==(Wakefulness const&, Wakefulness const&) = default;
};

class PowerInhibitor {
public:
    // A line for the log, from the bus thread: what was taken or let go, and why something could not be
    // (said once for a missing logind).
    using Tell = std::function<void(std::string const& line)>;

    explicit PowerInhibitor(Tell tell);
    ~PowerInhibitor();
    PowerInhibitor(PowerInhibitor const&) = delete;
    PowerInhibitor& operator=(PowerInhibitor const&) = delete;

    // Holds what `need` asks for and lets go of the rest. Asking again for what was asked last costs
    // nothing, so a caller may ask at every tick; a refusal is not retried until the need changes.
    void hold(Wakefulness need);

private:
    struct Holder;
    Wakefulness asked_;
    std::unique_ptr<Holder> holder_;
};

} // namespace platform

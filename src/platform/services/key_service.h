#pragma once

#include "notifier.h"
#include "registry_store.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The button service's work: it publishes the buttons that the present input devices have into the
// button table ("HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shell\Keys", one sub-key per button with "Name" and
// "Icon"; the default value, the command, is the user's to bind; an unbound button whose devices are all
// gone is taken out again) and runs a button's bound command once
// per press. The devices come from an InputEventSource, which tests replace.
//
// Threads: one thread (the service's main thread).
namespace platform {

struct InputDevice {
    std::string id; // stable while the device is present (its node, such as "event3")
    std::vector<int> keys; // the key codes it reports (linux/input-event-codes.h)
};

struct InputEvent {
    enum class Kind { ADDED, REMOVED, KEY, STOP };
    Kind kind = Kind::KEY;
    InputDevice device; // ADDED: the device; REMOVED, KEY: its id
    int code = 0; // KEY
    int value = 0; // KEY: 1 pressed, 0 released, 2 repeated while held
    int64_t time_ms = 0; // KEY: when it happened, on the source's clock
};

class InputEventSource {
public:
    virtual ~InputEventSource() = default;
    // The next event, waiting at most `timeout_ms` (-1: as long as it takes); none when the time ran out.
    virtual std::optional<InputEvent> next(int timeout_ms) = 0;
    virtual int64_t now_ms() = 0;
};

// A button a person may give to an application.
struct AssignableButton {
    int code;
    char16_t const* sub_key;
    char16_t const* name;
    char16_t const* icon; // a picture of the skin ("" for the row's own)
    bool long_press; // runs only when held LONG_PRESS_MS: the button has its own work when tapped
};

// Volume keys count only on a phone's own buttons, and only held long.
constexpr int64_t LONG_PRESS_MS = 800;

// The buttons of `device` that may be bound, in code order.
std::vector<AssignableButton> assignable_buttons(InputDevice const& device);

class KeyService {
public:
    KeyService(RegistryStore& store, ProcessStarter& starter);

    void handle(InputEvent const& event);
    // Runs the long presses whose time has come; answers the milliseconds to the next one, or -1.
    int advance(int64_t now_ms);
    // Handles events until the source says STOP. Answers 0.
    int run(InputEventSource& source);

    // The commands run so far (for the service's own messages and tests).
    int started() const { return started_; }

private:
    struct Held {
        int64_t since = 0;
        bool done = false;
    };
    void publish(AssignableButton const& button);
    void press(AssignableButton const& button);
    // Takes an unbound button out of the table once no present device has it.
    void withdraw(AssignableButton const& button);
    std::optional<AssignableButton> button_of(std::string const& device, int code) const;

    RegistryStore& store_;
    ProcessStarter& starter_;
    std::map<std::string, std::vector<AssignableButton>> devices_;
    std::map<std::pair<std::string, int>, Held> held_;
    std::vector<int64_t> live_; // started programs not yet seen to end
    int started_ = 0;
};

} // namespace platform

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform/messages.h>

// One notification of the program's on the desktop's notification server (org.freedesktop.Notifications
// on the session bus), with actions. What the user does with it (an action invoked, the notification
// closed) comes to the owner's thread as a thread message, never by asking; a desktop without a
// notification server shows nothing, said once in the log.
//
// Threads: made, used and destroyed on the owner's thread (the one the messages go to); the bus work
// happens on a thread of its own, started with the first show().
namespace platform {

class DesktopNotification {
public:
    struct Action {
        std::string key;
        std::u16string label;
    };
    // What a message of this notification says.
    struct Event {
        enum class Kind { ACTION, CLOSED };
        Kind kind = Kind::CLOSED;
        // For an action, its index in the list show() was given.
        size_t action = 0;
    };
    using Tell = std::function<void(std::string const& line)>;

    // Messages go to `thread_id` as `message`; `tell` gets log lines, on the bus thread.
    DesktopNotification(
        uint32_t thread_id, uint32_t message, std::string app_name, std::string desktop_entry, Tell tell);
    // Closes the notification if it is still shown.
    ~DesktopNotification();
    DesktopNotification(DesktopNotification const&) = delete;
    DesktopNotification& operator=(DesktopNotification const&) = delete;

    // Shows the notification, or changes the one shown; it stays until close() or the user closes it.
    void show(std::u16string const& summary, std::u16string const& body, std::vector<Action> actions);
    void close();

    uint32_t message() const { return message_; }
    // The event a message of ours tells, or none for one about a notification shown before the last
    // show() or close() (a late answer the caller must not act on).
    std::optional<Event> event(Message const& message) const;

private:
    struct Shower;
    uint32_t message_;
    uint32_t shown_count_ = 0;
    std::unique_ptr<Shower> shower_;
};

} // namespace platform

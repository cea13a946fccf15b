#pragma once

#include <functional>
#include <memory>
#include <string>

// Asks the user where to save a file through the desktop's file chooser portal
// (org.freedesktop.portal.FileChooser on the session bus): the portal shows its own dialog, which may
// stay open for as long as the user likes, and tells its answer later as a signal of the request it
// made. A session without a portal, or a portal that fails, is answered as NO_PORTAL, so that the caller
// can save somewhere of its own choosing instead.
//
// Threads: made, asked and destroyed on the owner's thread; the answer is given on a bus thread of its
// own, once for each ask(). Destroying the chooser waits for that thread: no answer comes after it.
namespace platform {

class SaveFileChooser {
public:
    struct Answer {
        enum class Kind { CHOSEN, CANCELLED, NO_PORTAL };
        Kind kind = Kind::NO_PORTAL;
        std::u16string path; // CHOSEN: the local file the user named
        std::string problem; // NO_PORTAL: why, for the log
    };
    using Done = std::function<void(Answer const&)>;

    SaveFileChooser();
    ~SaveFileChooser();
    SaveFileChooser(SaveFileChooser const&) = delete;
    SaveFileChooser& operator=(SaveFileChooser const&) = delete;

    // Shows the chooser with `title`, proposing `current_name`; `done` gets the answer on the bus thread.
    void ask(std::u16string const& title, std::u16string const& current_name, Done done);

private:
    struct Asker;
    std::unique_ptr<Asker> asker_;
};

// The local path a "file://" URI names (percent escapes decoded), or empty for any other URI.
std::string path_of_file_uri(std::string const& uri);

} // namespace platform

#pragma once

#include <deque>
#include <map>
#include <platform/services/key_service.h>
#include <string>

struct libevdev;

// The input devices of a folder (/dev/input) through libevdev: devices present at the start and those
// that come and go later (inotify), their key events, and SIGINT or SIGTERM as STOP (both must be
// blocked before the source is made).
//
// Threads: one thread.
class EvdevSource final : public platform::InputEventSource {
public:
    explicit EvdevSource(std::string folder = "/dev/input");
    ~EvdevSource() override;
    EvdevSource(EvdevSource const&) = delete;
    EvdevSource& operator=(EvdevSource const&) = delete;

    std::optional<platform::InputEvent> next(int timeout_ms) override;
    int64_t now_ms() override;

    // Whether the last look found event devices that this user may not read.
    bool lacks_access() const { return denied_ > 0 && devices_.empty(); }
    // Whether the folder could not be read at all.
    bool folder_missing() const { return folder_missing_; }

private:
    struct Device {
        int fd = -1;
        libevdev* dev = nullptr;
    };
    void scan();
    void open_device(std::string const& name);
    void close_device(std::string const& name);
    void read_device(std::string const& name);
    void read_folder();

    std::string folder_;
    int inotify_ = -1;
    int signals_ = -1;
    int denied_ = 0;
    bool folder_missing_ = false;
    std::map<std::string, Device> devices_;
    std::deque<platform::InputEvent> pending_;
};

#pragma once

#include <platform/messages.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// One running instance per user: a lock file and a Unix-domain socket in $XDG_RUNTIME_DIR/ravelin/
// (mode 0700; /tmp/ravelin-UID when the variable is unset), named after the window-class name.
//
// The lock stands for the start-up mutex: a start holds it from its check until its window exists (the
// first instance) or until it ends (a later one). The kernel drops it with a killed process, and a
// socket left behind by one refuses connections, so neither blocks the next start: that start becomes
// the running instance and binds the socket anew.
//
// A message on the socket: "RVCD", the 32-bit data tag, the 32-bit byte count (at most MAX_COPY_BYTES),
// the bytes; all little-endian. The receiver checks the peer's user id, answers one byte once the
// message is posted, and drops anything else with a report.
namespace platform {

constexpr uint32_t MAX_COPY_BYTES = 32 * 1024;

// What WM_COPYDATA carries in lparam; the receiving window procedure takes ownership (delete).
struct CopyData {
    uint32_t data = 0;
    std::vector<uint8_t> bytes;
};

// The folder of the lock and the socket, made (mode 0700) when missing; empty when it cannot be made
// or belongs to someone else.
std::string instance_folder();

class InstanceLock {
public:
    // Waits without a time limit for the lock of `name`. held() is false when the folder or the file
    // cannot be had (the program then runs without the guard).
    explicit InstanceLock(std::u16string const& name);
    ~InstanceLock();
    InstanceLock(InstanceLock const&) = delete;
    InstanceLock& operator=(InstanceLock const&) = delete;

    bool held() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;
};

enum class SendResult {
    SENT, // delivered to the running instance
    NO_INSTANCE, // nobody listens (never started, or killed)
    FAILED, // it listens but did not take the message
};

// Hands `bytes` with `data` to the running instance of `name`, waiting (up to a few seconds) until it
// has taken them.
SendResult send_to_instance(std::u16string const& name, uint32_t data, std::vector<uint8_t> const& bytes);

// The running instance's end: listens on the socket of `name` on a thread of its own and posts each
// message received as WM_COPYDATA to `window`. Clients are served side by side: one that is slow or idle
// holds up no other, and is dropped when its message is not whole 2 s after it connected.
// Threads: made and destroyed on the window's thread; `report` is called on the listening thread.
class InstanceServer {
public:
    using Report = std::function<void(std::string const& problem)>;

    // `allowed_uid`: the one user whose messages are taken (the process's own by default).
    InstanceServer(std::u16string const& name, Hwnd window, Report report, std::optional<uint32_t> allowed_uid = {});
    ~InstanceServer();
    InstanceServer(InstanceServer const&) = delete;
    InstanceServer& operator=(InstanceServer const&) = delete;

    // False when the socket could not be bound (said through `report`).
    bool listening() const { return listen_fd_ >= 0; }

private:
    struct Connection;
    void serve();
    bool admit(int connection);
    std::optional<std::string> read_some(Connection& connection);

    Hwnd window_;
    Report report_;
    uint32_t allowed_uid_;
    std::string path_;
    int listen_fd_ = -1;
    int stop_pipe_[2] = { -1, -1 };
    std::thread thread_;
};

} // namespace platform

#include "instance.h"

#include <platform/riff.h>
#include <platform/text.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char MAGIC[4] = { 'R', 'V', 'C', 'D' };
constexpr size_t HEADER_BYTES = 12;
// How long one side waits for the other in the middle of a message.
constexpr int IO_TIMEOUT_MS = 3000;

std::string path_in_folder(std::u16string const& name, char const* suffix)
{
    std::string const folder = instance_folder();
    if (folder.empty())
        return {};
    return folder + "/" + to_utf8(name) + suffix;
}

using riff::put_u32;
using riff::u32;

// Reads or writes exactly `count` bytes, waiting at most IO_TIMEOUT_MS for each part; false otherwise.
bool transfer(int fd, uint8_t* data, size_t count, bool write)
{
    size_t done = 0;
    while (done < count) {
        pollfd p { fd, static_cast<short>(write ? POLLOUT : POLLIN), 0 };
        int const ready = poll(&p, 1, IO_TIMEOUT_MS);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        ssize_t const n
            = write ? ::send(fd, data + done, count - done, MSG_NOSIGNAL) : ::recv(fd, data + done, count - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool make_address(std::string const& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::string instance_folder()
{
    char const* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder
        = runtime && *runtime ? std::string(runtime) + "/ravelin" : "/tmp/ravelin-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info { };
    // Someone else's folder, or one that others may enter, could hand us a socket of theirs.
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return {};
    if ((info.st_mode & 0077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return {};
    return folder;
}

InstanceLock::InstanceLock(std::u16string const& name)
{
    std::string const path = path_in_folder(name, ".lock");
    if (path.empty())
        return;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return;
    int result;
    do
        result = flock(fd_, LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        release();
}

InstanceLock::~InstanceLock()
{
    release();
}

void InstanceLock::release()
{
    if (fd_ < 0)
        return;
    flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

SendResult send_to_instance(std::u16string const& name, uint32_t data, std::vector<uint8_t> const& bytes)
{
    sockaddr_un address {};
    if (!make_address(path_in_folder(name, ".sock"), address) || bytes.size() > MAX_COPY_BYTES)
        return SendResult::NO_INSTANCE;
    int const fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return SendResult::NO_INSTANCE;
    if (connect(fd, reinterpret_cast<sockaddr const*>(&address), sizeof address) != 0) {
        ::close(fd);
        return SendResult::NO_INSTANCE;
    }
    std::vector<uint8_t> message(HEADER_BYTES + bytes.size());
    std::memcpy(message.data(), MAGIC, 4);
    put_u32(message.data() + 4, data);
    put_u32(message.data() + 8, static_cast<uint32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), message.begin() + HEADER_BYTES);
    uint8_t answer = 0;
    bool const ok = transfer(fd, message.data(), message.size(), true) && transfer(fd, &answer, 1, false);
    ::close(fd);
    return ok && answer == 1 ? SendResult::SENT : SendResult::FAILED;
}

InstanceServer::InstanceServer(
    std::u16string const& name, Hwnd window, Report report, std::optional<uint32_t> allowed_uid)
    : window_(window)
    , report_(std::move(report))
    , allowed_uid_(allowed_uid.value_or(getuid()))
    , path_(path_in_folder(name, ".sock"))
{
    sockaddr_un address {};
    if (!make_address(path_, address)) {
        report_("instance: no folder for the socket");
        return;
    }
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // The caller holds the lock: a socket that is there was left by an instance that is gone.
    unlink(path_.c_str());
    if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr const*>(&address), sizeof address) != 0
        || listen(listen_fd_, 8) != 0 || pipe2(stop_pipe_, O_CLOEXEC) != 0) {
        report_(std::string("instance: cannot listen on ") + path_ + ": " + std::strerror(errno));
        if (listen_fd_ >= 0)
            ::close(listen_fd_);
        listen_fd_ = -1;
        return;
    }
    thread_ = std::thread([this] { serve(); });
}

InstanceServer::~InstanceServer()
{
    if (thread_.joinable()) {
        uint8_t const stop = 1;
        [[maybe_unused]] ssize_t const n = ::write(stop_pipe_[1], &stop, 1);
        thread_.join();
    }
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        unlink(path_.c_str());
    }
    for (int fd : stop_pipe_)
        if (fd >= 0)
            ::close(fd);
}

namespace {

// How long a connection may take to deliver its message, from its acceptance.
constexpr int CONNECTION_DEADLINE_MS = 2000;
// Connections served at once; a further one pushes out the oldest.
constexpr size_t MAX_CONNECTIONS = 32;

using Clock = std::chrono::steady_clock;

} // namespace

// One connection being read: the header, then the bytes it announces.
struct InstanceServer::Connection {
    int fd = -1;
    Clock::time_point deadline;
    uint8_t header[HEADER_BYTES] = {};
    size_t header_read = 0;
    std::unique_ptr<CopyData> data;
    size_t data_read = 0;
};

void InstanceServer::serve()
{
    std::vector<std::unique_ptr<Connection>> open;
    auto const drop = [&](size_t i, std::string const& problem) {
        if (!problem.empty())
            report_(problem);
        ::close(open[i]->fd);
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
    };
    for (;;) {
        // Each client is read as its bytes come, so a slow or idle one never holds up the next.
        std::vector<pollfd> waits = { { listen_fd_, POLLIN, 0 }, { stop_pipe_[0], POLLIN, 0 } };
        auto const now = Clock::now();
        int timeout = -1;
        for (auto const& c : open) {
            waits.push_back({ c->fd, POLLIN, 0 });
            auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(c->deadline - now).count();
            timeout = timeout < 0 ? static_cast<int>(std::max<int64_t>(left, 0))
                                  : std::min(timeout, static_cast<int>(std::max<int64_t>(left, 0)));
        }
        if (poll(waits.data(), waits.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[1].revents != 0)
            break;
        for (size_t i = open.size(); i-- > 0;) {
            if (waits[i + 2].revents != 0) {
                if (auto const problem = read_some(*open[i]); problem)
                    drop(i, *problem);
            } else if (Clock::now() >= open[i]->deadline) {
                drop(i, "instance: a client that sent no whole message within 2 s was dropped");
            }
        }
        if (waits[0].revents & POLLIN) {
            int const connection = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (connection >= 0 && admit(connection)) {
                if (open.size() >= MAX_CONNECTIONS)
                    drop(0, "instance: too many clients at once; the oldest was dropped");
                auto c = std::make_unique<Connection>();
                c->fd = connection;
                c->deadline = Clock::now() + std::chrono::milliseconds(CONNECTION_DEADLINE_MS);
                open.push_back(std::move(c));
            } else if (connection >= 0) {
                ::close(connection);
            }
        }
    }
    for (auto const& c : open)
        ::close(c->fd);
}

bool InstanceServer::admit(int connection)
{
    ucred peer {};
    socklen_t length = sizeof peer;
    if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || length != sizeof peer) {
        report_("instance: a message whose sender is unknown was dropped");
        return false;
    }
    if (peer.uid != allowed_uid_) {
        report_("instance: a message from user " + std::to_string(peer.uid) + " was refused");
        return false;
    }
    return true;
}

// Takes what the connection has to give. Answers a problem to report ("" to close quietly) once the
// connection is done with, nothing while more is to come.
std::optional<std::string> InstanceServer::read_some(Connection& c)
{
    uint8_t* target = c.header + c.header_read;
    size_t wanted = HEADER_BYTES - c.header_read;
    if (c.data) {
        target = c.data->bytes.data() + c.data_read;
        wanted = c.data->bytes.size() - c.data_read;
    }
    ssize_t const n = wanted == 0 ? 0 : ::recv(c.fd, target, wanted, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return std::nullopt;
    if (n <= 0 && wanted != 0) {
        return c.data ? "instance: a malformed message was dropped (shorter than its length)"
                      : "instance: a malformed message was dropped (header)";
    }
    if (!c.data) {
        c.header_read += static_cast<size_t>(n);
        if (c.header_read >= 4 && std::memcmp(c.header, MAGIC, 4) != 0)
            return "instance: a malformed message was dropped (header)";
        if (c.header_read < HEADER_BYTES)
            return std::nullopt;
        uint32_t const count = u32(c.header + 8);
        if (count > MAX_COPY_BYTES)
            return "instance: a message of " + std::to_string(count) + " bytes was dropped (over 32 KiB)";
        c.data = std::make_unique<CopyData>();
        c.data->data = u32(c.header + 4);
        c.data->bytes.resize(count);
    } else {
        c.data_read += static_cast<size_t>(n);
    }
    if (c.data_read < c.data->bytes.size())
        return std::nullopt;
    if (!post_message(window_, WM_COPYDATA, 0, reinterpret_cast<intptr_t>(c.data.get())))
        return "instance: the window is gone; a message was dropped";
    c.data.release();
    // The answer is one byte into an empty socket buffer: it does not block.
    uint8_t const answer = 1;
    [[maybe_unused]] ssize_t const sent = ::send(c.fd, &answer, 1, MSG_NOSIGNAL);
    return std::string();
}

} // namespace platform

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A hierarchical key-value store standing in for the handheld's registry: keys under four roots, each
// holding typed values (text and 32-bit numbers) and sub-keys. Kept in one SQLite file in WAL mode, so
// several processes (the program, the phone simulator, the notifier) may use it at once.
//
// No call waits more than 0.1 s for another process: a write the store cannot take now is queued, read
// back as written, and retried on a thread of the store's own until it is in; the end of the process
// waits a little for what is still queued and says on standard error when it could not be written. A
// store this user may read but not write is read, and every write to it fails.
//
// Threads: every operation may be called from any thread; one connection per process, under a lock.
namespace platform {

enum class RegistryRoot { CLASSES_ROOT, LOCAL_MACHINE, USERS, CURRENT_USER };

constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_DWORD = 4;

struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> data; // as the handheld stores it: text is UTF-16LE with its terminating zero
};

class RegistryStore {
public:
    // The process-wide store at $RAVELIN_REGISTRY, else $XDG_CONFIG_HOME/ravelin/registry.db.
    static RegistryStore& instance();

    explicit RegistryStore(std::string const& path);
    ~RegistryStore();
    RegistryStore(RegistryStore const&) = delete;
    RegistryStore& operator=(RegistryStore const&) = delete;

    bool is_open() const;
    bool is_read_only() const;
    // Writes queued because another process holds the store.
    size_t pending_writes() const;
    // Why writes are not going in now ("busy", "read-only", ...); empty when they are.
    std::string problem() const;
    std::string const& path() const { return path_; }

    // Create-or-open: makes the key and every missing parent. Key paths use "\" between levels.
    bool create_key(RegistryRoot root, std::u16string const& key);
    bool key_exists(RegistryRoot root, std::u16string const& key);
    // Reads a value of an existing key; no value, or no key, gives nothing. Answered from a cache while
    // no process has written since the cached read.
    std::optional<RegistryValue> query(RegistryRoot root, std::u16string const& key, std::u16string const& name);
    bool set(RegistryRoot root, std::u16string const& key, std::u16string const& name, RegistryValue const& value);
    bool remove_value(RegistryRoot root, std::u16string const& key, std::u16string const& name);
    // Removes a key that has no sub-keys, with its values. False when there is no such key or it has
    // sub-keys.
    bool remove_key(RegistryRoot root, std::u16string const& key);
    // Direct sub-key names in creation order; nothing when the key does not exist.
    std::optional<std::vector<std::u16string>> subkeys(RegistryRoot root, std::u16string const& key);
    // Makes everything written so far durable, or on its way there (queued); false when the store cannot
    // be written.
    bool flush();
    // Waits up to `wait` until the queued writes are in; true when nothing is left queued.
    bool sync(std::chrono::milliseconds wait);

    // A number that every process's write changes; equal numbers mean nothing was written in between.
    uint64_t change_count() const;

private:
    bool open_database();

    struct Impl;
    std::string path_;
    Impl* impl_;
};

} // namespace platform

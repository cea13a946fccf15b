#include "registry_store.h"

#include <platform/text.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace platform {

namespace {

char const* root_name(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case RegistryRoot::LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::USERS:
        return "HKEY_USERS";
    case RegistryRoot::CURRENT_USER:
        return "HKEY_CURRENT_USER";
    }
    return "";
}

std::vector<std::string> split_key(std::u16string const& key)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= key.size()) {
        auto end = key.find(u'\\', start);
        if (end == std::u16string::npos)
            end = key.size();
        if (end > start)
            parts.push_back(to_utf8(key.substr(start, end - start)));
        start = end + 1;
    }
    return parts;
}

std::string lower_ascii(std::string text)
{
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string default_path()
{
    if (char const* explicit_path = std::getenv("RAVELIN_REGISTRY"); explicit_path && *explicit_path)
        return explicit_path;
    std::string config;
    if (char const* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (char const* home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    else
        config = ".";
    return config + "/ravelin/registry.db";
}

class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, char const* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(Statement const&) = delete;
    Statement& operator=(Statement const&) = delete;
    sqlite3_stmt* get()
    {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return stmt_;
    }
    bool ok() const { return stmt_ != nullptr; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace

// How long a call waits for another connection's lock before its write is queued: the window's thread
// calls the store, and must never stall for longer.
constexpr int WAIT_MS = 100;
// How often queued writes are tried again.
constexpr auto RETRY_EVERY = std::chrono::milliseconds(100);
// How long the end of a process waits for its queued writes.
constexpr auto SYNC_AT_EXIT = std::chrono::seconds(3);

// A change that could not be written at once, kept in order until the store takes it.
struct PendingWrite {
    enum class Kind { CREATE_KEY, SET, REMOVE_VALUE, REMOVE_KEY } kind;
    RegistryRoot root;
    std::string key; // lower case, "\"-separated, as the cache keys it
    std::u16string key_path;
    std::u16string name;
    RegistryValue value;
};

enum class WriteResult { COMMITTED, NOT_DONE, BUSY, FAILED };

struct RegistryStore::Impl {
    std::mutex mutex;
    sqlite3* db = nullptr;
    bool read_only = false;
    std::string problem;
    int failure = SQLITE_OK; // the last statement's failure inside a write
    uint64_t* sequence = nullptr; // shared with every process that opened the same store
    uint64_t local_sequence = 0;
    uint64_t cached_at = ~0ull;
    std::unordered_map<std::string, std::optional<RegistryValue>> cache;
    std::unordered_set<std::string> existing_keys;
    std::unique_ptr<Statement> find_key, insert_key, select_value, upsert_value, delete_value, list_subkeys;
    std::vector<PendingWrite> pending;
    std::condition_variable wake; // the retry thread: pending writes or stopping
    std::condition_variable written; // sync(): the pending writes are gone
    std::thread retry;
    bool stopping = false;

    ~Impl() { close(); }

    void close()
    {
        find_key.reset();
        insert_key.reset();
        select_value.reset();
        upsert_value.reset();
        delete_value.reset();
        list_subkeys.reset();
        if (db)
            sqlite3_close(db);
        db = nullptr;
        if (sequence)
            munmap(sequence, sizeof(uint64_t));
        sequence = nullptr;
    }

    bool exec(char const* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    void changed()
    {
        if (sequence)
            __atomic_add_fetch(sequence, 1, __ATOMIC_SEQ_CST);
        ++local_sequence;
    }

    uint64_t current_sequence() const
    {
        return sequence ? __atomic_load_n(sequence, __ATOMIC_SEQ_CST) : local_sequence;
    }

    // True when the caches still describe the store; otherwise empties them. Without the shared change
    // count nothing is cached, since another process's write could not be seen.
    bool cache_fresh()
    {
        uint64_t const now = current_sequence();
        if (sequence && now == cached_at)
            return true;
        cache.clear();
        existing_keys.clear();
        cached_at = now;
        return false;
    }

    static std::string cache_key(RegistryRoot root, std::u16string const& key)
    {
        std::string text = root_name(root);
        text += '\x01';
        text += lower_ascii(to_utf8(key));
        return text;
    }

    // Id of the key at `parts` below the root, or 0. With `create`, missing levels are made.
    int64_t resolve(RegistryRoot root, std::vector<std::string> const& parts, bool create, bool* created = nullptr)
    {
        int64_t id = 0;
        auto descend = [&](std::string const& name) -> bool {
            auto* s = find_key->get();
            sqlite3_bind_int64(s, 1, id);
            sqlite3_bind_text(s, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            bool const found = sqlite3_step(s) == SQLITE_ROW;
            if (found)
                id = sqlite3_column_int64(s, 0);
            sqlite3_reset(s); // an unfinished read would keep the checkpoint of flush() from completing
            if (found)
                return true;
            if (!create)
                return false;
            auto* ins = insert_key->get();
            sqlite3_bind_int64(ins, 1, id);
            sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            if (!step(ins, SQLITE_DONE))
                return false;
            id = sqlite3_last_insert_rowid(db);
            if (created)
                *created = true;
            return true;
        };
        if (!descend(root_name(root)))
            return 0;
        for (auto const& part : parts)
            if (!descend(part))
                return 0;
        return id;
    }

    // A statement's step; a result other than `expected` is kept as the failure to report.
    bool step(sqlite3_stmt* statement, int expected)
    {
        int const rc = sqlite3_step(statement);
        if (rc != expected && rc != SQLITE_ROW && rc != SQLITE_DONE)
            failure = rc;
        sqlite3_reset(statement);
        return rc == expected;
    }

    // Why the store refused a write: busy is worth waiting for; read-only stays so.
    WriteResult refused(int rc)
    {
        int const code = rc & 0xFF;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            return WriteResult::BUSY;
        if (code == SQLITE_READONLY || code == SQLITE_PERM || code == SQLITE_CANTOPEN) {
            read_only = true;
            problem = "read-only";
        } else {
            problem = sqlite3_errstr(rc);
        }
        return WriteResult::FAILED;
    }

    // Runs `body` in a write transaction; commits when it answers true. A body that answers false has
    // had a statement fail.
    template <typename Body> WriteResult write(Body body)
    {
        if (read_only)
            return WriteResult::FAILED;
        int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return refused(rc);
        failure = SQLITE_OK;
        if (!body()) {
            exec("ROLLBACK");
            return failure == SQLITE_OK ? WriteResult::NOT_DONE : refused(failure);
        }
        rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return WriteResult::COMMITTED;
        exec("ROLLBACK");
        return refused(rc);
    }

    bool apply(PendingWrite const& w, bool* created = nullptr, bool* removed = nullptr);
    bool write_now_or_later(PendingWrite w, bool* created = nullptr, bool* removed = nullptr);

    // Writes what is queued in one transaction, waiting at most `wait_ms` for the lock.
    void write_pending(int wait_ms)
    {
        if (pending.empty() || !db)
            return;
        sqlite3_busy_timeout(db, wait_ms);
        WriteResult const result = write([&] {
            for (auto const& w : pending)
                apply(w); // a removal of what is already gone is no failure here
            return true;
        });
        sqlite3_busy_timeout(db, WAIT_MS);
        if (result == WriteResult::COMMITTED) {
            pending.clear();
            problem.clear();
            changed();
            written.notify_all();
        } else if (result == WriteResult::FAILED) {
            written.notify_all();
        }
    }

    // Keeps a write for later, and the thread that retries it.
    void queue(PendingWrite w)
    {
        pending.push_back(std::move(w));
        problem = "busy";
        if (!retry.joinable())
            retry = std::thread([this] { retry_loop(); });
        wake.notify_all();
    }

    void retry_loop()
    {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (pending.empty() || read_only) {
                wake.wait(lock, [&] { return stopping || (!pending.empty() && !read_only); });
                continue;
            }
            if (wake.wait_for(lock, RETRY_EVERY, [&] { return stopping; }))
                break;
            // No waiting for the lock here: the window's thread may want the connection meanwhile.
            write_pending(0);
        }
    }

    // The newest queued change that decides a value: a set, a removal of it or of its key.
    PendingWrite const* pending_value(std::string const& key, std::u16string const& name) const
    {
        for (auto w = pending.rbegin(); w != pending.rend(); ++w) {
            if (w->key != key)
                continue;
            if (w->kind == PendingWrite::Kind::REMOVE_KEY)
                return &*w;
            if ((w->kind == PendingWrite::Kind::SET || w->kind == PendingWrite::Kind::REMOVE_VALUE)
                && lower_ascii(to_utf8(w->name)) == lower_ascii(to_utf8(name)))
                return &*w;
        }
        return nullptr;
    }

    // Whether queued changes make or remove the key: true, false, or nothing when they say nothing.
    std::optional<bool> pending_key(std::string const& key) const
    {
        for (auto w = pending.rbegin(); w != pending.rend(); ++w) {
            if (w->kind == PendingWrite::Kind::REMOVE_KEY && w->key == key)
                return false;
            bool const makes = w->kind == PendingWrite::Kind::CREATE_KEY || w->kind == PendingWrite::Kind::SET;
            // Making a key makes its parents too.
            if (makes && (w->key == key || (w->key.starts_with(key) && w->key[key.size()] == '\\')))
                return true;
        }
        return std::nullopt;
    }
};

bool RegistryStore::Impl::apply(PendingWrite const& w, bool* created, bool* removed)
{
    auto const parts = split_key(w.key_path);
    switch (w.kind) {
    case PendingWrite::Kind::CREATE_KEY:
        return resolve(w.root, parts, true, created) != 0;
    case PendingWrite::Kind::SET: {
        int64_t const id = resolve(w.root, parts, true);
        if (id == 0)
            return false;
        auto* s = upsert_value->get();
        auto const value_name = to_utf8(w.name);
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_text(s, 2, value_name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 3, w.value.type);
        sqlite3_bind_blob(s, 4, w.value.data.empty() ? "" : static_cast<void const*>(w.value.data.data()),
            static_cast<int>(w.value.data.size()), SQLITE_TRANSIENT);
        return step(s, SQLITE_DONE);
    }
    case PendingWrite::Kind::REMOVE_VALUE: {
        int64_t const id = resolve(w.root, parts, false);
        if (id == 0)
            return true;
        auto* s = delete_value->get();
        auto const value_name = to_utf8(w.name);
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_text(s, 2, value_name.c_str(), -1, SQLITE_TRANSIENT);
        bool const done = step(s, SQLITE_DONE);
        if (removed)
            *removed = done && sqlite3_changes(db) > 0;
        return done;
    }
    case PendingWrite::Kind::REMOVE_KEY: {
        int64_t const id = resolve(w.root, parts, false);
        if (id == 0 || parts.empty())
            return true;
        Statement children(db, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
        Statement values(db, "DELETE FROM vals WHERE key=?1");
        Statement self(db, "DELETE FROM keys WHERE id=?1");
        if (!children.ok() || !values.ok() || !self.ok())
            return false;
        auto* c = children.get();
        sqlite3_bind_int64(c, 1, id);
        bool const has_children = sqlite3_step(c) == SQLITE_ROW;
        sqlite3_reset(c);
        if (has_children)
            return true;
        for (auto* s : { values.get(), self.get() }) {
            sqlite3_bind_int64(s, 1, id);
            if (!step(s, SQLITE_DONE))
                return false;
        }
        if (removed)
            *removed = true;
        return true;
    }
    }
    return false;
}

// Writes at once when the store lets it; queues the write when another process holds the store.
bool RegistryStore::Impl::write_now_or_later(PendingWrite w, bool* created, bool* removed)
{
    if (!db || read_only)
        return false;
    auto const later = [&] {
        // What is queued is taken as done: it reads back so, and goes in as soon as the store lets it.
        if (created)
            *created = true;
        if (removed)
            *removed = true;
        queue(std::move(w));
        return true;
    };
    // Later writes wait behind the queued ones, so that the store takes them in order.
    if (!pending.empty())
        return later();
    switch (write([&] { return apply(w, created, removed); })) {
    case WriteResult::COMMITTED:
        return true;
    case WriteResult::BUSY:
        return later();
    case WriteResult::NOT_DONE:
    case WriteResult::FAILED:
        return false;
    }
    return false;
}

RegistryStore& RegistryStore::instance()
{
    static RegistryStore store(default_path());
    return store;
}

namespace {

enum class Schema { PRESENT, ABSENT, UNREADABLE, BUSY };

Schema schema_of(sqlite3* db)
{
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(
        db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('keys','vals')", -1, &s, nullptr);
    int count = 0;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW)
            count = sqlite3_column_int(s, 0);
    }
    sqlite3_finalize(s);
    if (rc == SQLITE_ROW)
        return count == 2 ? Schema::PRESENT : Schema::ABSENT;
    return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED ? Schema::BUSY : Schema::UNREADABLE;
}

} // namespace

RegistryStore::RegistryStore(std::string const& path)
    : path_(path)
    , impl_(new Impl)
{
    std::error_code ignored;
    auto const parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
    if (!open_database()) {
        impl_->close();
        return;
    }
    impl_->find_key = std::make_unique<Statement>(impl_->db, "SELECT id FROM keys WHERE parent=?1 AND name=?2");
    impl_->insert_key = std::make_unique<Statement>(impl_->db, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
    impl_->select_value
        = std::make_unique<Statement>(impl_->db, "SELECT type, data FROM vals WHERE key=?1 AND name=?2");
    impl_->upsert_value = std::make_unique<Statement>(impl_->db,
        "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
        "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data");
    impl_->delete_value = std::make_unique<Statement>(impl_->db, "DELETE FROM vals WHERE key=?1 AND name=?2");
    impl_->list_subkeys = std::make_unique<Statement>(impl_->db, "SELECT name FROM keys WHERE parent=?1 ORDER BY id");

    int fd = ::open((path + "-seq").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        struct stat st { };
        if (fstat(fd, &st) == 0
            && (st.st_size >= static_cast<off_t>(sizeof(uint64_t)) || ftruncate(fd, sizeof(uint64_t)) == 0)) {
            void* mapped = mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (mapped != MAP_FAILED)
                impl_->sequence = static_cast<uint64_t*>(mapped);
        }
        ::close(fd);
    }
}

// Opens the store for writing where it can and for reading where it cannot: a store that another
// process holds, or one this user may not write, still gives its values.
bool RegistryStore::open_database()
{
    auto& db = impl_->db;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db);
        db = nullptr;
        // A file this user may read but not write, in a folder this user may not write either.
        if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
            return false;
    }
    sqlite3_busy_timeout(db, WAIT_MS);
    impl_->read_only = sqlite3_db_readonly(db, "main") == 1;
    if (!impl_->read_only)
        impl_->exec("PRAGMA journal_mode=WAL"); // already so unless new; a busy store keeps its mode
    impl_->exec("PRAGMA synchronous=FULL"); // every commit is durable on its own
    switch (schema_of(db)) {
    case Schema::PRESENT:
    case Schema::BUSY: // a store another process holds outside a log: its reads wait for it
        impl_->read_only = impl_->read_only || sqlite3_db_readonly(db, "main") == 1;
        if (impl_->read_only)
            impl_->problem = "read-only";
        return true;
    case Schema::UNREADABLE: {
        // The log of a store in a folder this user may not write cannot be shared: read what the
        // database file holds, as it stands.
        sqlite3_close(db);
        db = nullptr;
        std::string const uri = "file:" + path_ + "?immutable=1";
        if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
                != SQLITE_OK
            || schema_of(db) != Schema::PRESENT)
            return false;
        impl_->read_only = true;
        impl_->problem = "read-only";
        return true;
    }
    case Schema::ABSENT:
        break;
    }
    if (impl_->read_only)
        return false;
    // A new store: the schema is made once, however long another process holds a new file.
    sqlite3_busy_timeout(db, 10000);
    WriteResult const made = impl_->write([&] {
        return impl_->exec("CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, "
                           "name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name))")
            && impl_->exec("CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, "
                           "type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name))");
    });
    sqlite3_busy_timeout(db, WAIT_MS);
    return made == WriteResult::COMMITTED;
}

RegistryStore::~RegistryStore()
{
    {
        std::unique_lock lock(impl_->mutex);
        impl_->stopping = true;
        impl_->wake.notify_all();
    }
    if (impl_->retry.joinable())
        impl_->retry.join();
    if (pending_writes() != 0 && !sync(SYNC_AT_EXIT))
        std::fprintf(stderr, "ravelin: settings not saved: the registry store %s is %s\n", path_.c_str(),
            impl_->problem.c_str());
    delete impl_;
}

bool RegistryStore::is_open() const
{
    return impl_->db != nullptr;
}

bool RegistryStore::is_read_only() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->read_only;
}

size_t RegistryStore::pending_writes() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->pending.size();
}

std::string RegistryStore::problem() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->db ? impl_->problem : std::string("cannot be opened");
}

uint64_t RegistryStore::change_count() const
{
    return impl_->current_sequence();
}

bool RegistryStore::create_key(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return false;
    auto known = Impl::cache_key(root, key);
    if (impl_->cache_fresh() && impl_->existing_keys.contains(known))
        return true;
    if (auto const queued = impl_->pending_key(known); queued && *queued)
        return true;
    if (!impl_->pending_key(known) && impl_->resolve(root, split_key(key), false) != 0) {
        impl_->existing_keys.insert(std::move(known));
        return true;
    }
    bool created = false;
    bool const ok = impl_->write_now_or_later({ PendingWrite::Kind::CREATE_KEY, root, known, key, {}, {} }, &created);
    if (ok && created && impl_->pending.empty())
        impl_->changed();
    return ok;
}

bool RegistryStore::key_exists(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return false;
    if (auto const queued = impl_->pending_key(Impl::cache_key(root, key)))
        return *queued;
    return impl_->resolve(root, split_key(key), false) != 0;
}

std::optional<RegistryValue> RegistryStore::query(
    RegistryRoot root, std::u16string const& key, std::u16string const& name)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return std::nullopt;
    auto const known = Impl::cache_key(root, key);
    if (auto const* queued = impl_->pending_value(known, name))
        return queued->kind == PendingWrite::Kind::SET ? std::optional(queued->value) : std::nullopt;
    auto cache_key = known;
    cache_key += '\x01';
    cache_key += lower_ascii(to_utf8(name));
    if (impl_->cache_fresh()) {
        if (auto it = impl_->cache.find(cache_key); it != impl_->cache.end())
            return it->second;
    }
    std::optional<RegistryValue> result;
    int64_t const id = impl_->resolve(root, split_key(key), false);
    if (id != 0) {
        auto* s = impl_->select_value->get();
        sqlite3_bind_int64(s, 1, id);
        auto const value_name = to_utf8(name);
        sqlite3_bind_text(s, 2, value_name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s) == SQLITE_ROW) {
            RegistryValue value;
            value.type = static_cast<uint32_t>(sqlite3_column_int64(s, 0));
            auto const* bytes = static_cast<uint8_t const*>(sqlite3_column_blob(s, 1));
            int const size = sqlite3_column_bytes(s, 1);
            if (bytes && size > 0)
                value.data.assign(bytes, bytes + size);
            result = std::move(value);
        }
        sqlite3_reset(s);
    }
    impl_->cache.emplace(std::move(cache_key), result);
    return result;
}

bool RegistryStore::set(
    RegistryRoot root, std::u16string const& key, std::u16string const& name, RegistryValue const& value)
{
    std::lock_guard lock(impl_->mutex);
    bool const ok
        = impl_->write_now_or_later({ PendingWrite::Kind::SET, root, Impl::cache_key(root, key), key, name, value });
    if (ok && impl_->pending.empty())
        impl_->changed();
    return ok;
}

bool RegistryStore::remove_value(RegistryRoot root, std::u16string const& key, std::u16string const& name)
{
    std::lock_guard lock(impl_->mutex);
    bool removed = false;
    bool const ok = impl_->write_now_or_later(
        { PendingWrite::Kind::REMOVE_VALUE, root, Impl::cache_key(root, key), key, name, {} }, nullptr, &removed);
    if (ok && impl_->pending.empty())
        impl_->changed();
    return ok && removed;
}

bool RegistryStore::remove_key(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    if (split_key(key).empty())
        return false;
    bool removed = false;
    bool const ok = impl_->write_now_or_later(
        { PendingWrite::Kind::REMOVE_KEY, root, Impl::cache_key(root, key), key, {}, {} }, nullptr, &removed);
    if (ok && impl_->pending.empty())
        impl_->changed();
    return ok && removed;
}

std::optional<std::vector<std::u16string>> RegistryStore::subkeys(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return std::nullopt;
    auto const known = Impl::cache_key(root, key);
    int64_t const id = impl_->resolve(root, split_key(key), false);
    std::vector<std::u16string> names;
    if (id != 0) {
        auto* s = impl_->list_subkeys->get();
        sqlite3_bind_int64(s, 1, id);
        while (sqlite3_step(s) == SQLITE_ROW)
            names.push_back(from_utf8(reinterpret_cast<char const*>(sqlite3_column_text(s, 0))));
        sqlite3_reset(s);
    }
    // Queued changes below the key, in their order.
    for (auto const& w : impl_->pending) {
        if (!w.key.starts_with(known) || w.key.size() <= known.size() + 1 || w.key[known.size()] != '\\')
            continue;
        std::u16string const rest = w.key_path.substr(w.key_path.size() - (w.key.size() - known.size() - 1));
        std::u16string const child = rest.substr(0, rest.find(u'\\'));
        auto const same
            = [&](std::u16string const& n) { return lower_ascii(to_utf8(n)) == lower_ascii(to_utf8(child)); };
        auto const at = std::find_if(names.begin(), names.end(), same);
        bool const whole = rest.find(u'\\') == std::u16string::npos;
        if (w.kind == PendingWrite::Kind::REMOVE_KEY && whole && at != names.end())
            names.erase(at);
        else if (w.kind != PendingWrite::Kind::REMOVE_KEY && at == names.end())
            names.push_back(child);
    }
    if (id == 0 && names.empty() && !impl_->pending_key(known).value_or(false))
        return std::nullopt;
    return names;
}

bool RegistryStore::flush()
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db || impl_->read_only)
        return false;
    // Queued writes are written as soon as the store lets them. Commits are already synced to the log;
    // folding it into the database may have to wait for another process's reader, which is no failure.
    if (!impl_->pending.empty())
        return true;
    int const rc = sqlite3_wal_checkpoint_v2(impl_->db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return rc == SQLITE_OK || rc == SQLITE_BUSY;
}

bool RegistryStore::sync(std::chrono::milliseconds wait)
{
    std::unique_lock lock(impl_->mutex);
    auto const deadline = std::chrono::steady_clock::now() + wait;
    while (!impl_->pending.empty() && impl_->db && !impl_->read_only) {
        auto const left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        impl_->write_pending(static_cast<int>(std::min<int64_t>(left.count(), WAIT_MS)));
        if (!impl_->pending.empty())
            impl_->written.wait_for(lock, std::chrono::milliseconds(10));
    }
    return impl_->db && impl_->pending.empty();
}

} // namespace platform

#include "registry_store.h"

#include "text.h"

#include <sqlite3.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
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

struct RegistryStore::Impl {
    std::mutex mutex;
    sqlite3* db = nullptr;
    uint64_t* sequence = nullptr; // shared with every process that opened the same store
    uint64_t local_sequence = 0;
    uint64_t cached_at = ~0ull;
    std::unordered_map<std::string, std::optional<RegistryValue>> cache;
    std::unordered_set<std::string> existing_keys;
    std::unique_ptr<Statement> find_key, insert_key, select_value, upsert_value, delete_value, list_subkeys;

    ~Impl()
    {
        find_key.reset();
        insert_key.reset();
        select_value.reset();
        upsert_value.reset();
        delete_value.reset();
        list_subkeys.reset();
        if (db)
            sqlite3_close(db);
        if (sequence)
            munmap(sequence, sizeof(uint64_t));
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
        auto step = [&](std::string const& name) -> bool {
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
            bool const inserted = sqlite3_step(ins) == SQLITE_DONE;
            sqlite3_reset(ins);
            if (!inserted)
                return false;
            id = sqlite3_last_insert_rowid(db);
            if (created)
                *created = true;
            return true;
        };
        if (!step(root_name(root)))
            return 0;
        for (auto const& part : parts)
            if (!step(part))
                return 0;
        return id;
    }

    // Runs `body` in a write transaction; commits when it answers true.
    template <typename Body> bool write(Body body)
    {
        if (!exec("BEGIN IMMEDIATE"))
            return false;
        bool const ok = body();
        if (ok && exec("COMMIT")) {
            return true;
        }
        exec("ROLLBACK");
        return false;
    }
};

RegistryStore& RegistryStore::instance()
{
    static RegistryStore store(default_path());
    return store;
}

RegistryStore::RegistryStore(std::string const& path)
    : path_(path)
    , impl_(new Impl)
{
    std::error_code ignored;
    auto const parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
    if (sqlite3_open_v2(
            path.c_str(), &impl_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(impl_->db);
        impl_->db = nullptr;
        return;
    }
    sqlite3_busy_timeout(impl_->db, 10000);
    impl_->exec("PRAGMA journal_mode=WAL");
    impl_->exec("PRAGMA synchronous=FULL"); // every commit is durable on its own
    bool const schema = impl_->write([&] {
        return impl_->exec("CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, "
                           "name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name))")
            && impl_->exec("CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, "
                           "type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name))");
    });
    if (!schema) {
        sqlite3_close(impl_->db);
        impl_->db = nullptr;
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

RegistryStore::~RegistryStore()
{
    delete impl_;
}

bool RegistryStore::is_open() const
{
    return impl_->db != nullptr;
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
    auto const parts = split_key(key);
    if (impl_->resolve(root, parts, false) != 0) {
        impl_->existing_keys.insert(std::move(known));
        return true;
    }
    bool created = false;
    bool const ok = impl_->write([&] { return impl_->resolve(root, parts, true, &created) != 0; });
    if (ok && created)
        impl_->changed();
    return ok;
}

bool RegistryStore::key_exists(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    return impl_->db && impl_->resolve(root, split_key(key), false) != 0;
}

std::optional<RegistryValue> RegistryStore::query(
    RegistryRoot root, std::u16string const& key, std::u16string const& name)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return std::nullopt;
    auto cache_key = Impl::cache_key(root, key);
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
    if (!impl_->db)
        return false;
    auto const parts = split_key(key);
    auto const value_name = to_utf8(name);
    bool const ok = impl_->write([&] {
        int64_t const id = impl_->resolve(root, parts, true);
        if (id == 0)
            return false;
        auto* s = impl_->upsert_value->get();
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_text(s, 2, value_name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 3, value.type);
        sqlite3_bind_blob(s, 4, value.data.empty() ? "" : static_cast<void const*>(value.data.data()),
            static_cast<int>(value.data.size()), SQLITE_TRANSIENT);
        bool const done = sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
        return done;
    });
    if (ok)
        impl_->changed();
    return ok;
}

bool RegistryStore::remove_value(RegistryRoot root, std::u16string const& key, std::u16string const& name)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return false;
    auto const parts = split_key(key);
    auto const value_name = to_utf8(name);
    bool removed = false;
    bool const ok = impl_->write([&] {
        int64_t const id = impl_->resolve(root, parts, false);
        if (id == 0)
            return false;
        auto* s = impl_->delete_value->get();
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_text(s, 2, value_name.c_str(), -1, SQLITE_TRANSIENT);
        bool const done = sqlite3_step(s) == SQLITE_DONE;
        removed = sqlite3_changes(impl_->db) > 0;
        sqlite3_reset(s);
        return done;
    });
    if (ok)
        impl_->changed();
    return ok && removed;
}

bool RegistryStore::remove_key(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    auto const parts = split_key(key);
    if (!impl_->db || parts.empty())
        return false;
    bool const ok = impl_->write([&] {
        int64_t const id = impl_->resolve(root, parts, false);
        if (id == 0)
            return false;
        Statement children(impl_->db, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
        Statement values(impl_->db, "DELETE FROM vals WHERE key=?1");
        Statement self(impl_->db, "DELETE FROM keys WHERE id=?1");
        if (!children.ok() || !values.ok() || !self.ok())
            return false;
        auto* c = children.get();
        sqlite3_bind_int64(c, 1, id);
        bool const has_children = sqlite3_step(c) == SQLITE_ROW;
        sqlite3_reset(c);
        if (has_children)
            return false;
        for (auto* s : { values.get(), self.get() }) {
            sqlite3_bind_int64(s, 1, id);
            bool const done = sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
            if (!done)
                return false;
        }
        return true;
    });
    if (ok)
        impl_->changed();
    return ok;
}

std::optional<std::vector<std::u16string>> RegistryStore::subkeys(RegistryRoot root, std::u16string const& key)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return std::nullopt;
    int64_t const id = impl_->resolve(root, split_key(key), false);
    if (id == 0)
        return std::nullopt;
    std::vector<std::u16string> names;
    auto* s = impl_->list_subkeys->get();
    sqlite3_bind_int64(s, 1, id);
    while (sqlite3_step(s) == SQLITE_ROW)
        names.push_back(from_utf8(reinterpret_cast<char const*>(sqlite3_column_text(s, 0))));
    sqlite3_reset(s);
    return names;
}

bool RegistryStore::flush()
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->db)
        return false;
    // Commits are already synced to the log; folding it into the database may have to wait for another
    // process's reader, which is no failure.
    int const rc = sqlite3_wal_checkpoint_v2(impl_->db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return rc == SQLITE_OK || rc == SQLITE_BUSY;
}

} // namespace platform

// SQLite connections and statements opened read-only without creating files,
// waiting for other programs' locks, with every failure named by what the file is in.
#include "engine/src/sqlite_db.h"

#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/src/error.h"
#include "engine/src/read_ahead.h"
#include "engine/src/text.h"

namespace lce {

namespace {

std::string uriFor(const std::string& path, const std::string& query) {
    std::string uri = "file:";
    for (char c : path) {
        switch (c) {
            case '?': uri += "%3f"; break;
            case '#': uri += "%23"; break;
            case '%': uri += "%25"; break;
            default: uri += c;
        }
    }
    return uri + "?" + query;
}

bool nonEmptyFile(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size > 0;
}

std::string kindText(FileKind kind) {
    switch (kind) {
        case FileKind::Table: return "Table file ";
        case FileKind::Index: return "Index file ";
        default: return "Data dictionary ";
    }
}

// Byte 18 of an SQLite file's header is 2 in write-ahead-log mode.
// The header is read through SQLite's own file layer: closing a descriptor
// of the file any other way would let go of every lock this process holds
// on it (another connection's read, say), where SQLite keeps the descriptor
// open until those locks end.
bool inWalMode(const std::string& path) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (!vfs) return false;
    struct FreeName {
        void operator()(const char* name) const { sqlite3_free_filename(name); }
    };
    const std::unique_ptr<const char, FreeName> name(sqlite3_create_filename(path.c_str(), "", "", 0, nullptr));
    if (!name) return false;
    std::vector<std::max_align_t> storage(static_cast<std::size_t>(vfs->szOsFile) / sizeof(std::max_align_t) + 1);
    auto* file = reinterpret_cast<sqlite3_file*>(storage.data());
    int opened = 0;
    if (vfs->xOpen(vfs, name.get(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &opened) != SQLITE_OK) {
        if (file->pMethods) file->pMethods->xClose(file);
        return false;
    }
    char header[20] = {};
    const int rc = file->pMethods->xRead(file, header, sizeof header, 0);
    file->pMethods->xClose(file);
    return rc == SQLITE_OK && header[18] == 2;
}

bool folderWritable(const std::string& path) {
    const std::string folder = directoryOf(path);
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

// How a read-only connection reads a file without creating one beside it.
// readonly_shm: the shared-memory file of a write-ahead log is only read,
// never made or changed; without one SQLite cannot read the log and says it
// cannot open the file (kErrNeedsWriter then). A file in write-ahead-log mode with an
// empty log or none, and no shared memory (no program has it open), holds
// everything itself: in a folder that takes no files no writer can change
// it, so it is read as immutable; elsewhere reading it would create the log
// and its shared memory, so it is refused.
std::string readUri(const std::string& path, FileKind kind) {
    const bool inUse = fileExists(path + "-wal") && fileExists(path + "-shm");
    if (inWalMode(path) && !inUse && !nonEmptyFile(path + "-wal")) {
        if (!folderWritable(path)) return uriFor(path, "mode=ro&immutable=1");
        fail(kErrNeedsWriter, kindText(kind) + path +
                                  " is kept in write-ahead-log mode and no program has it open; reading it would "
                                  "create files beside it in the practice folder. Search while the practice's "
                                  "software is running, or have it switch the file back to a rollback journal");
    }
    return uriFor(path, "mode=ro&readonly_shm=1");
}

}  // namespace

std::chrono::milliseconds defaultLockWait() {
    static const std::chrono::milliseconds wait = [] {
        const char* text = std::getenv("LCE_LOCK_WAIT_MS");
        const auto ms = text ? parseInteger(text) : std::nullopt;
        return ms && *ms >= 1 && *ms <= 3600000 ? std::chrono::milliseconds(*ms) : kLockWait;
    }();
    return wait;
}

std::string secondsText(std::chrono::milliseconds wait) {
    const auto ms = wait.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms / 1000) + "." + std::to_string((ms % 1000) / 100) + " s";
}

bool describeFileFailure(int rc, const std::string& path, FileKind kind, std::chrono::milliseconds waited,
                         FileFailure& out) {
    const std::string what = kindText(kind) + path;
    const std::string name = fileNameOf(path);
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            out = {kErrLocked, what + " is locked by another program (waited " + secondsText(waited) +
                                   "); try again when the practice's software has finished writing"};
            return true;
        case SQLITE_READONLY:
            // A hot journal: the writer stopped before its commit ended, and only
            // a connection that may write can roll the file back.
            if (rc != SQLITE_READONLY_ROLLBACK && !nonEmptyFile(path + "-journal")) return false;
            out = {kErrNeedsWriter,
                   what + " was left mid-write by a program that stopped (" + name +
                       "-journal beside it); the search only reads and cannot complete the write. "
                       "Open the practice once in its own software, which completes it, then try again"};
            return true;
        case SQLITE_CANTOPEN:
            if (nonEmptyFile(path + "-wal")) {
                out = {kErrNeedsWriter,
                       what + " was left mid-write by a program that stopped (" + name +
                           "-wal beside it, without its -shm file); reading it would create files in the "
                           "practice folder. Open the practice once in its own software, which completes "
                           "the write, then try again"};
                return true;
            }
            if (!fileExists(path)) return false;
            out = {kErrFileNotFound, what + " cannot be opened; check that you may read it and the files beside it"};
            return true;
        case SQLITE_NOTADB:
            switch (kind) {
                case FileKind::Table:
                    out = {
                        kErrNotATable,
                        "File " + path + " is not a table file; check that the folder holds the practice's database"};
                    break;
                case FileKind::Index:
                    out = {kErrNotAnIndexFile,
                           "File " + path + " is not an index file; check the name of the index file to open"};
                    break;
                default:
                    out = {kErrNotADictionary, "File " + path +
                                                   " is not a data dictionary; check that the folder holds the "
                                                   "practice's database"};
            }
            return true;
        case SQLITE_CORRUPT:
        case SQLITE_FORMAT:
            out = {
                kErrDamaged,
                what + " is damaged; restore it from the practice's backup or have the practice's software repair it"};
            return true;
        case SQLITE_FULL:
            out = {
                kErrWriteFailed,
                what + " could not be written: the disk that holds it is full; free some space on it, then try again"};
            return true;
        case SQLITE_IOERR:
            out = {
                kErrDamaged,
                what +
                    " could not be read; check the disk or network share, then try again; if it persists, restore the "
                    "file from the practice's backup"};
            return true;
        default: return false;
    }
}

namespace {

// SQLite counts the memory it holds under one lock of the whole process,
// which every allocation takes: connections working on two threads at once
// (a load's writers) spent most of their time waiting for each other on
// it. The engine never reads those counts. Settable only before SQLite
// starts; later it stays as it is.
void configureOnce() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
}

}  // namespace

Db::Db(const std::string& path, Mode mode, std::chrono::milliseconds lockWait, FileKind kind)
    : path_(path), lockWait_(lockWait), kind_(kind) {
    configureOnce();
    int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    switch (mode) {
        case Mode::ReadOnly:
            flags |= SQLITE_OPEN_READONLY;
            uri_ = readUri(path, kind);
            break;
        case Mode::ReadWrite:
            flags |= SQLITE_OPEN_READWRITE;
            uri_ = uriFor(path, "mode=rw");
            break;
        case Mode::Create:
            flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
            uri_ = uriFor(path, "mode=rwc");
            break;
        case Mode::Memory:
            flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY;
            uri_ = ":memory:";
            break;
    }
    flags_ = flags;
    open();
}

Db::Db(const Db& other, std::chrono::milliseconds lockWait)
    : path_(other.path_),
      uri_(other.uri_),
      flags_(other.flags_),
      lockWait_(lockWait),
      kind_(other.kind_),
      textKeys_(other.textKeys_) {
    open();
}

void Db::open() {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(uri_.c_str(), &raw, flags_, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        const std::string msg = raw ? sqlite3_errmsg(raw) : "out of memory";
        const int ext = raw ? sqlite3_extended_errcode(raw) : rc;
        db_.reset();
        FileFailure f;
        if (describeFileFailure(ext, path_, kind_, lockWait_, f)) fail(f.code, f.text);
        fail(rc == SQLITE_CANTOPEN ? kErrFileNotFound : kErrDamaged, "Cannot open file " + path_ + ": " + msg);
    }
    sqlite3_extended_result_codes(raw, 0);
    setLockWait(lockWait_);
}

void Db::setLockWait(std::chrono::milliseconds wait) {
    lockWait_ = wait;
    const auto ms = std::min<std::chrono::milliseconds::rep>(wait.count(), INT_MAX);
    if (db_) sqlite3_busy_timeout(db_.get(), static_cast<int>(ms));
}

void Db::failAs(std::uint32_t code, const std::string& text) const {
    FileFailure f;
    if (db_ && describeFileFailure(sqlite3_extended_errcode(db_.get()), path_, kind_, lockWait_, f))
        fail(f.code, f.text);
    fail(code, text);
}

void Db::exec(const std::string& sql) const {
    char* err = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        failAs(kErrWriteFailed, msg + " (file " + path_ + ")");
    }
}

void Db::raise(std::uint32_t code, const std::string& what) const {
    failAs(code, what + ": " + sqlite3_errmsg(db_.get()) + " (file " + path_ + ")");
}

Stmt::Stmt() = default;
Stmt::Stmt(Stmt&&) noexcept = default;
Stmt& Stmt::operator=(Stmt&&) noexcept = default;
// A read-ahead still running stops here, before the statement it read for goes.
Stmt::~Stmt() = default;

Stmt::Stmt(const Db& db, const std::string& sql) : db_(&db) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db.get(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw,
                           nullptr) != SQLITE_OK)
        db.raise(kErrSql, "Cannot read table catalog");
    stmt_.reset(raw);
}

bool Stmt::step() {
    ++generation_;
    ++steps_;
    if (ahead_) return ahead_->next();
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const int code = sqlite3_errcode(db_->get());
    const std::string msg = sqlite3_errmsg(db_->get());
    // A read that fails mid-table is still one of the file's states (locked
    // past the wait, left mid-write, damaged) and says so.
    FileFailure f;
    if (describeFileFailure(sqlite3_extended_errcode(db_->get()), db_->path(), db_->kind(), db_->lockWait(), f)) {
        sqlite3_reset(stmt_.get());
        fail(f.code, f.text);
    }
    sqlite3_reset(stmt_.get());
    fail(code == SQLITE_READONLY ? kErrReadOnly : kErrWriteFailed, msg + " (file " + db_->path() + ")");
}

void Stmt::reset() {
    ahead_.reset();
    aheadOffered_ = false;
    steps_ = 0;
    ++generation_;
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}
void Stmt::bindNull(int i) { sqlite3_bind_null(stmt_.get(), i); }
void Stmt::bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_.get(), i, v); }
void Stmt::bind(int i, double v) { sqlite3_bind_double(stmt_.get(), i, v); }
void Stmt::bindText(int i, std::string_view v) {
    sqlite3_bind_text(stmt_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
void Stmt::bindBlob(int i, const void* data, std::size_t size) {
    bindBytes(i, std::string_view(static_cast<const char*>(data), size), false, false);
}

void Stmt::bindBytes(int i, std::string_view bytes, bool text, bool inPlace) {
    // An empty value needs a pointer all the same, or SQLite binds a null.
    static const char empty = 0;
    const char* data = bytes.empty() ? &empty : bytes.data();
    const int size = static_cast<int>(bytes.size());
    const sqlite3_destructor_type keep = inPlace ? SQLITE_STATIC : SQLITE_TRANSIENT;
    if (text)
        sqlite3_bind_text(stmt_.get(), i, data, size, keep);
    else
        sqlite3_bind_blob(stmt_.get(), i, data, size, keep);
}

void Stmt::bindKey(int i, std::string_view key) { bindBytes(i, key, db_->textKeys(), false); }

void Stmt::bindKeyInPlace(int i, std::string_view key) { bindBytes(i, key, db_->textKeys(), true); }

void Stmt::readAhead(std::unique_ptr<ReadAhead> ahead) {
    ahead_ = std::move(ahead);
    aheadOffered_ = true;
}

const AheadValue* Stmt::aheadValue(int col) const {
    const ReadAhead::Row* row = ahead_->current();
    return row && col >= 0 && col < ReadAhead::kMaxColumns ? &(*row)[static_cast<std::size_t>(col)] : nullptr;
}

// A value read ahead is read as the type it has (or as null): what SQLite
// would convert it to is not needed of a stream's rows.
const AheadValue* Stmt::aheadValueAs(int col, int type) const {
    const AheadValue* v = aheadValue(col);
    if (v && v->type != type && v->type != SQLITE_NULL && !(type == SQLITE_BLOB && v->type == SQLITE_TEXT) &&
        !(type == SQLITE_TEXT && v->type == SQLITE_BLOB))
        throw std::logic_error("a value read ahead was asked for as another type");
    return v;
}

const std::int64_t* Stmt::aheadInteger(int col) const {
    const AheadValue* v = aheadValueAs(col, SQLITE_INTEGER);
    return v ? &v->integer : nullptr;
}

const double* Stmt::aheadReal(int col) const {
    const AheadValue* v = aheadValueAs(col, SQLITE_FLOAT);
    return v ? &v->real : nullptr;
}

std::string Stmt::text(int col) const {
    if (ahead_) [[unlikely]]
        if (const AheadValue* v = aheadValueAs(col, SQLITE_TEXT)) return v->bytes;
    forget(col);
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col))) : std::string();
}

// A row read is kept while the statement stands on it: also not once the
// statement was reset behind this object's back (a read's end resets every
// statement of the connection).
bool Stmt::keeps(std::uint64_t readAt) const { return readAt == generation_ && sqlite3_stmt_busy(stmt_.get()); }

std::string_view Stmt::blob(int col) const {
    if (ahead_) [[unlikely]]
        if (const AheadValue* v = aheadValueAs(col, SQLITE_BLOB)) return v->bytes;
    const bool kept = col >= 0 && col < kReadColumns;
    if (kept && keeps(read_[col].bytesOf)) return read_[col].bytes;
    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), col));
    const std::string_view bytes =
        p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col))) : std::string_view();
    if (kept) {
        read_[col].bytesOf = generation_;
        read_[col].bytes = bytes;
    }
    return bytes;
}

int Stmt::type(int col) const {
    if (ahead_) [[unlikely]]
        if (const AheadValue* v = aheadValue(col)) return v->type;
    const bool kept = col >= 0 && col < kReadColumns;
    if (kept && keeps(read_[col].typeOf)) return read_[col].type;
    const int t = sqlite3_column_type(stmt_.get(), col);
    if (kept) {
        read_[col].typeOf = generation_;
        read_[col].type = t;
    }
    return t;
}

std::string quoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string quoteLiteral(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

}  // namespace lce

// Owning wrappers for sqlite3 connections and statements. Every failure is
// turned into lce::Error with a text that names the file the database is;
// the states of a file that SQLite reports alike or as bare codes (locked by
// another program, left mid-write, not a file of ours, damaged) get codes
// and texts of their own that say what to do.
#pragma once

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lce {

class ReadAhead;
struct AheadValue;

// How long a connection waits for another program's lock on a file when no
// SQL time-out is set: a writer of the practice's software holds its lock
// while it commits, which is the normal case, not a failure.
inline constexpr std::chrono::milliseconds kLockWait{10000};
// The wait used when no SQL time-out is set: kLockWait, or the milliseconds
// of the environment variable LCE_LOCK_WAIT_MS (1 .. 3 600 000), read once.
std::chrono::milliseconds defaultLockWait();

// What the files of a kind are called in messages.
enum class FileKind { Table, Dictionary, Index };

// The engine's error for a failed SQLite call (extended result code rc) on
// the file at path, when the failure is one of the file's
// states: locked past the wait, left mid-write, not a file of ours,
// damaged. Returns false for other failures (the caller's own message).
struct FileFailure {
    std::uint32_t code = 0;
    std::string text;
};
bool describeFileFailure(int rc, const std::string& path, FileKind kind, std::chrono::milliseconds waited,
                         FileFailure& out);
// "10 s", "0.5 s".
std::string secondsText(std::chrono::milliseconds wait);

class Db {
public:
    enum class Mode { ReadOnly, ReadWrite, Create, Memory };
    Db() = default;
    // Opens path. ReadOnly never creates or changes a file: not the table,
    // nor a journal, write-ahead log or shared-memory file beside it (see
    // readUri); a file that cannot be read that way fails with kErrNeedsWriter.
    // lockWait bounds every wait for another program's lock.
    Db(const std::string& path, Mode mode, std::chrono::milliseconds lockWait = defaultLockWait(),
       FileKind kind = FileKind::Table);
    // A second connection to the file `other` has open, opened as it was.
    // Nothing reads the file outside SQLite meanwhile: closing a descriptor
    // of a file lets go of every lock the process holds on it, other's too.
    Db(const Db& other, std::chrono::milliseconds lockWait);

    sqlite3* get() const { return db_.get(); }
    explicit operator bool() const { return static_cast<bool>(db_); }
    const std::string& path() const { return path_; }
    // The name SQLite opened (a URI): ATTACH uses it to read the same way.
    const std::string& uri() const { return uri_; }
    std::chrono::milliseconds lockWait() const { return lockWait_; }
    void setLockWait(std::chrono::milliseconds wait);
    FileKind kind() const { return kind_; }
    // How the table's index keys are stored: as text (files of this
    // engine's version) or as blobs (files of the version before). A key
    // compares only with keys of its own storage class, so every key bound
    // to a statement goes as the file stores them (Stmt::bindKey).
    bool textKeys() const { return textKeys_; }
    void setTextKeys(bool text) { textKeys_ = text; }

    void exec(const std::string& sql) const;
    // Throws an error whose text is "what" + SQLite's message + the file, or
    // the file's own error when the failure is one of its states.
    [[noreturn]] void raise(std::uint32_t code, const std::string& what) const;
    // Throws the file's own error for the last failure when it is one of the
    // file's states, else code with text.
    [[noreturn]] void failAs(std::uint32_t code, const std::string& text) const;

private:
    struct Close {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    // Opens uri_ with flags_; a failure says what state the file is in.
    void open();

    std::unique_ptr<sqlite3, Close> db_;
    std::string path_, uri_;
    int flags_ = 0;  // as opened
    std::chrono::milliseconds lockWait_ = kLockWait;
    FileKind kind_ = FileKind::Table;
    bool textKeys_ = false;
};

class Stmt {
public:
    Stmt();
    Stmt(const Db& db, const std::string& sql);
    Stmt(Stmt&&) noexcept;
    Stmt& operator=(Stmt&&) noexcept;
    ~Stmt();

    explicit operator bool() const { return static_cast<bool>(stmt_); }
    sqlite3_stmt* get() const { return stmt_.get(); }

    // true: a row is ready; false: done. Errors throw.
    bool step();
    void reset();
    // Changes with every step and reset: a column value read at one
    // generation is valid while the generation stays the same.
    std::uint64_t generation() const { return generation_; }
    // Rows stepped since the last reset.
    std::uint64_t steps() const { return steps_; }
    // From the next step on, the rows come from `ahead` (read_ahead.h),
    // which reads on from the row this statement stands on; until the next
    // reset.
    // A null read-ahead leaves the statement reading by itself. Either way
    // it has been offered one until the next reset.
    void readAhead(std::unique_ptr<ReadAhead> ahead);
    bool readingAhead() const { return static_cast<bool>(ahead_); }
    bool readAheadOffered() const { return aheadOffered_; }
    void bindNull(int i);
    void bind(int i, std::int64_t v);
    void bind(int i, double v);
    void bindText(int i, std::string_view v);
    void bindBlob(int i, const void* data, std::size_t size);
    // Bytes as text or as a blob; inPlace: read where they are, so they must
    // stay unchanged until the statement has stepped, else copied.
    void bindBytes(int i, std::string_view bytes, bool text, bool inPlace);
    // An index key, copied, stored as its connection's file stores keys.
    void bindKey(int i, std::string_view key);
    // The same, the key's bytes read in place: they must stay unchanged
    // until the statement has stepped.
    void bindKeyInPlace(int i, std::string_view key);

    std::int64_t integer(int col) const {
        if (ahead_) [[unlikely]]
            if (const std::int64_t* v = aheadInteger(col)) return *v;
        forget(col);
        return sqlite3_column_int64(stmt_.get(), col);
    }
    double real(int col) const {
        if (ahead_) [[unlikely]]
            if (const double* v = aheadReal(col)) return *v;
        forget(col);
        return sqlite3_column_double(stmt_.get(), col);
    }
    std::string text(int col) const;
    std::string_view blob(int col) const;
    bool isNull(int col) const { return type(col) == SQLITE_NULL; }
    int type(int col) const;

private:
    struct Finalize {
        void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
    };
    // What was read of a column of the current row: a navigation asks for
    // the record number, image and key of one row several times, and every
    // SQLite column call costs about as much as comparing two keys. Valid
    // while the generation is the row's; a read as another type may convert
    // the value and move its bytes, so it forgets the column.
    struct ReadColumn {
        std::uint64_t typeOf = kNever;
        std::uint64_t bytesOf = kNever;
        int type = 0;
        std::string_view bytes;
    };
    static constexpr std::uint64_t kNever = ~std::uint64_t{0};
    static constexpr int kReadColumns = 4;
    bool keeps(std::uint64_t readAt) const;
    // The current row's value read ahead, or null when the row is this
    // statement's own (no read-ahead, or none taken from it yet).
    const AheadValue* aheadValue(int col) const;
    const AheadValue* aheadValueAs(int col, int type) const;
    const std::int64_t* aheadInteger(int col) const;
    const double* aheadReal(int col) const;
    void forget(int col) const {
        if (col >= 0 && col < kReadColumns) read_[col] = ReadColumn{};
    }

    std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
    const Db* db_ = nullptr;
    std::uint64_t generation_ = 0;
    std::uint64_t steps_ = 0;
    mutable std::array<ReadColumn, kReadColumns> read_{};
    std::unique_ptr<ReadAhead> ahead_;
    bool aheadOffered_ = false;
};

// Quotes an identifier for SQL ("Entry Number" -> "\"Entry Number\"").
std::string quoteIdent(std::string_view name);
std::string quoteLiteral(std::string_view text);

}  // namespace lce

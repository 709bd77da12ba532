// A forward stream read ahead on a second thread: the reader, the ring and
// the hand-over of rows.
#include "engine/src/read_ahead.h"

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "engine/src/error.h"
#include "engine/src/table_store.h"
#include "engine/src/text.h"

namespace lce {

namespace {

// Rows held ahead: a few hundred records' images, a fraction of the page
// cache, and far more than the cursor takes while the reader catches up.
constexpr std::size_t kRingRows = 256;
constexpr int kSpins = 200;

inline void pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

void readValue(sqlite3_stmt* stmt, int column, ReadAhead::Value& v) {
    v.type = sqlite3_column_type(stmt, column);
    switch (v.type) {
        case SQLITE_INTEGER: v.integer = sqlite3_column_int64(stmt, column); break;
        case SQLITE_FLOAT: v.real = sqlite3_column_double(stmt, column); break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const auto* p = v.type == SQLITE_BLOB ? static_cast<const char*>(sqlite3_column_blob(stmt, column))
                                                  : reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            v.bytes.assign(p ? p : "", p ? static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)) : 0);
            break;
        }
        default: break;
    }
}

}  // namespace

bool ReadAheadRule::due(std::uint64_t rows, std::chrono::steady_clock::time_point since) const {
    if (after == 0 || rows < after) return false;
    return !paced || std::chrono::steady_clock::now() - since >= kPace * static_cast<std::int64_t>(rows);
}

ReadAheadRule readAheadRule() {
    const char* text = std::getenv("LCE_READ_AHEAD_AFTER");
    if (!text) return {};
    const std::optional<std::int64_t> n = parseInteger(text);
    if (!n || *n < 0 || *n > 1'000'000'000'000) return {};
    return {static_cast<std::uint64_t>(*n), false};
}

std::unique_ptr<ReadAhead> ReadAhead::start(std::shared_ptr<const TableStore> store, const std::string& sql,
                                            std::string_view key, std::int64_t recno) {
    if (std::thread::hardware_concurrency() < 2) return nullptr;
    std::unique_ptr<ReadAhead> ahead;
    try {
        // No wait for a lock: a writer waiting for the file now would have
        // to wait for this reader too.
        auto db = std::make_unique<Db>(store->db(), std::chrono::milliseconds(0));
        // A reader of a file in write-ahead-log mode does not hold writers
        // off: this one could see a later state than the table's.
        {
            Stmt mode(*db, "PRAGMA journal_mode");
            if (mode.step() && equalsIgnoringCase(mode.text(0), "wal")) return nullptr;
        }
        db->exec("PRAGMA cache_size=-512");
        // Begun while the table's own read holds the file's shared lock: no
        // writer commits in between, so both read one state.
        db->exec("BEGIN");
        db->exec("SELECT count(*) FROM sqlite_master");
        auto stmt = std::make_unique<Stmt>(*db, sql);
        if (sqlite3_column_count(stmt->get()) > kMaxColumns) return nullptr;
        stmt->bindKey(1, key);
        stmt->bind(2, recno);
        if (sqlite3_bind_parameter_count(stmt->get()) >= 3) stmt->bindKey(3, key);
        ahead.reset(new ReadAhead(store, std::move(db), std::move(stmt)));
        store->addReadAhead(ahead.get());
        ahead->reader_ = std::thread([p = ahead.get()] { p->read(); });
        return ahead;
    } catch (const Error&) {
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {}
    // Whatever stopped it, the cursor's own statement meets it if it matters.
    return nullptr;
}

ReadAhead::ReadAhead(std::shared_ptr<const TableStore> store, std::unique_ptr<Db> db, std::unique_ptr<Stmt> stmt)
    : store_(std::move(store)),
      db_(std::move(db)),
      stmt_(std::move(stmt)),
      columns_(sqlite3_column_count(stmt_->get())),
      ring_(kRingRows) {}

ReadAhead::~ReadAhead() {
    store_->removeReadAhead(this);
    cancel();
}

void ReadAhead::cancel() noexcept {
    std::lock_guard control(control_);
    if (cancelled_) return;
    cancelled_ = true;
    stop_.store(true);
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
    if (reader_.joinable()) reader_.join();
}

void ReadAhead::read() noexcept {
    try {
        readRows();
    } catch (...) {
        failure_ = std::current_exception();
    }
    // The read ends as soon as the reader stops, so it holds no writer off
    // while the cursor takes the rows left.
    sqlite3_reset(stmt_->get());
    if (sqlite3_exec(db_->get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db_->get(), "ROLLBACK", nullptr, nullptr, nullptr);
    done_.store(true);
    if (takerWaits_.load()) {
        std::lock_guard lock(mutex_);
        wake_.notify_all();
    }
}

void ReadAhead::readRows() {
    sqlite3_stmt* raw = stmt_->get();
    while (waitForRoom()) {
        if (!stmt_->step()) {
            finished_ = true;
            return;
        }
        const std::uint64_t n = written_.load(std::memory_order_relaxed);
        Row& row = slot(n);
        for (int c = 0; c < columns_; ++c) readValue(raw, c, row[static_cast<std::size_t>(c)]);
        written_.store(n + 1);
        if (takerWaits_.load()) {
            std::lock_guard lock(mutex_);
            wake_.notify_all();
        }
    }
}

// Waits, when the ring is full, until the taker has given back half of it
// (one wake-up for many rows).
bool ReadAhead::waitForRoom() {
    if (stop_.load()) return false;
    if (written_.load(std::memory_order_relaxed) - released_.load() < ring_.size()) return true;
    std::unique_lock lock(mutex_);
    readerWaits_.store(true);
    wake_.wait(lock, [&] {
        return stop_.load() || written_.load(std::memory_order_relaxed) - released_.load() <= ring_.size() / 2;
    });
    readerWaits_.store(false);
    return !stop_.load();
}

bool ReadAhead::next() {
    if (current_) {
        // The row stood on goes back to the reader.
        current_ = nullptr;
        released_.store(taken_);
        if (readerWaits_.load() && written_.load() - taken_ <= ring_.size() / 2) {
            std::lock_guard lock(mutex_);
            wake_.notify_all();
        }
    }
    // The reader is usually far ahead; when it is not, it is about a row's
    // read away: a short spin, then sleep.
    for (int spins = 0; spins < kSpins && written_.load() <= taken_ && !done_.load(); ++spins) pause();
    while (written_.load() <= taken_) {
        if (done_.load()) {
            if (written_.load() > taken_) break;
            if (failure_) std::rethrow_exception(failure_);
            if (finished_) return false;
            // Cancelled: the cursor steps no stream into another read.
            throw std::logic_error("a table's rows were read on after its read had ended");
        }
        std::unique_lock lock(mutex_);
        takerWaits_.store(true);
        wake_.wait(lock, [&] { return written_.load() > taken_ || done_.load(); });
        takerWaits_.store(false);
    }
    current_ = &slot(taken_);
    ++taken_;
    return true;
}

}  // namespace lce

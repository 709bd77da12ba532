// A connection: to a folder of free tables or to a data dictionary. It owns
// the handles of the tables, cursors and statements made on it, which are
// released when it disconnects.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/src/dictionary_store.h"
#include "engine/src/handles.h"
#include "engine/src/transactions.h"

namespace lce {

class WritableTable;

class Connection : public Object {
public:
    Connection(std::string folder, std::optional<DictionaryStore> dictionary, std::string user);
    HandleType handleType() const override {
        return dictionary_ ? HandleType::DictionaryConnection : HandleType::Connection;
    }

    const std::string& folder() const { return folder_; }
    bool isDictionary() const { return dictionary_.has_value(); }
    const DictionaryStore& dictionary() const;
    const std::string& user() const { return user_; }

    // Resolves a table name or path given to the connection to a file.
    // Through a dictionary a known name gives its entry (tableType set);
    // an unknown plain name fails with kErrNotInDictionary.
    struct TableTarget {
        std::string file;
        std::uint16_t tableType = 0;  // 0: whatever the file holds
        std::string dictionaryName;
    };
    TableTarget resolveTable(const std::string& nameOrPath, std::uint16_t tableType) const;

    void adopt(std::uint32_t handle);
    void forget(std::uint32_t handle);
    void releaseAll();
    // Before a table file is renamed: fails kErrLocked when a table or index
    // handle of this connection has the file open, and drops the
    // connection's writer of the file, which would go on writing the old name.
    void releaseFileForRename(const std::string& file);

    // Transactions: nesting count, savepoints and the tables written in them.
    Transactions& transactions() { return transactions_; }
    void begin() { transactions_.begin(); }
    void commit() { transactions_.commit(); }
    void rollback() { transactions_.rollback(); }
    void rollbackTo(const std::string& savepoint) { transactions_.rollbackTo(savepoint); }
    void savepoint(const std::string& name) { transactions_.savepoint(name); }
    std::uint32_t transactionCount() const { return transactions_.count(); }

    // The writer of a table file on this connection (table_writer.h), opened
    // for writing, with its lock file, at the first write or lock.
    std::shared_ptr<WritableTable> writableTable(const std::string& file);
    // The writer of a file if the connection has one; the generation counts
    // the writers made, so a cursor looks again only when it changed.
    std::shared_ptr<WritableTable> findWritable(const std::string& file) const;
    std::uint64_t writerGeneration() const { return writerGeneration_->load(std::memory_order_acquire); }
    // The counter itself, for a cursor to watch at every call without
    // taking the connection.
    std::shared_ptr<const std::atomic<std::uint64_t>> writerGenerationCounter() const { return writerGeneration_; }

    // The SQL time-out in milliseconds (0: none). It also bounds the wait for
    // another program's lock on the dictionary and on the files opened
    // through the connection from now on.
    std::uint32_t sqlTimeout() const { return sqlTimeout_; }
    void setSqlTimeout(std::uint32_t ms);
    // The id of the application working on the connection (sp_setapplicationid).
    std::string applicationId() const;
    void setApplicationId(const std::string& id);

    std::chrono::milliseconds lockWait() const {
        return sqlTimeout_ ? std::chrono::milliseconds(sqlTimeout_) : defaultLockWait();
    }

private:
    std::string folder_;
    std::optional<DictionaryStore> dictionary_;
    std::string user_;
    mutable std::mutex mutex_;
    std::set<std::uint32_t> children_;
    std::uint32_t sqlTimeout_ = 0;
    std::map<std::string, std::shared_ptr<WritableTable>> writables_;  // by file path
    std::shared_ptr<std::atomic<std::uint64_t>> writerGeneration_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    Transactions transactions_;
    std::string applicationId_;
};

// Releases a table or cursor handle and its index handles.
void closeCursorHandle(std::uint32_t handle);

}  // namespace lce

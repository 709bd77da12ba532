// The transaction of a connection: its nesting count, its savepoints and the
// table files that joined it by being written. Each file is its own SQLite
// database with its own transaction: a file joins at its first write in the
// transaction (BEGIN IMMEDIATE, then the savepoints made so far, so rolling
// back to one of them undoes all of the file's writes). Commit commits the
// files in the order they joined, so each file is all or nothing; when the
// first commit fails every file is rolled back, a later failure leaves the
// files before it committed and rolls back the rest (the error names them).
// Rollback undoes every file; a savepoint rollback undoes each file to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lce {

class WritableTable;

class Transactions {
public:
    explicit Transactions(std::string connectionName) : name_(std::move(connectionName)) {}
    ~Transactions();

    bool active() const { return count_ > 0; }
    std::uint32_t count() const { return count_; }
    void begin();
    void commit();
    void rollback();
    void savepoint(const std::string& name);
    void rollbackTo(const std::string& name);

    // A file's first write in the transaction.
    void join(const std::shared_ptr<WritableTable>& table);
    std::size_t savepointCount() const { return savepoints_.size(); }

private:
    void end();
    std::string name_;
    std::uint32_t count_ = 0;
    std::vector<std::string> savepoints_;
    std::vector<std::shared_ptr<WritableTable>> joined_;
};

}  // namespace lce

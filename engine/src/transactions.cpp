// A connection's transaction over the table files it writes: nesting,
// savepoints by name, and commit or rollback of every joined file.
#include "engine/src/transactions.h"

#include "engine/src/error.h"
#include "engine/src/table_writer.h"
#include "engine/src/text.h"

namespace lce {

Transactions::~Transactions() {
    for (const auto& table : joined_) table->rollbackTransaction();
}

void Transactions::begin() { ++count_; }

void Transactions::join(const std::shared_ptr<WritableTable>& table) {
    table->join(savepoints_.size());
    joined_.push_back(table);
}

void Transactions::end() {
    count_ = 0;
    savepoints_.clear();
    joined_.clear();
}

void Transactions::commit() {
    if (count_ == 0) fail(kErrTransaction, "No transaction is active on connection " + name_);
    if (--count_ > 0) return;
    const auto tables = joined_;
    std::string committed;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        try {
            tables[i]->commitTransaction();
        } catch (const Error& e) {
            for (std::size_t j = i; j < tables.size(); ++j) tables[j]->rollbackTransaction();
            end();
            if (committed.empty()) fail(e.code(), std::string("The transaction was rolled back: ") + e.what());
            fail(e.code(), "The transaction was committed only in part: the changes of " + committed +
                               " were kept, those of the other tables rolled back (" + e.what() +
                               "); check those tables and repeat the missing changes");
        }
        committed += (committed.empty() ? "" : ", ") + tables[i]->path();
    }
    end();
}

void Transactions::rollback() {
    if (count_ == 0) fail(kErrTransaction, "No transaction is active on connection " + name_);
    for (const auto& table : joined_) table->rollbackTransaction();
    end();
}

void Transactions::savepoint(const std::string& name) {
    if (count_ == 0) fail(kErrTransaction, "A savepoint needs an active transaction (connection " + name_ + ")");
    if (name.empty()) fail(kErrInvalidArgument, "A savepoint needs a name");
    for (const auto& table : joined_) table->savepoint(savepoints_.size());
    savepoints_.push_back(name);
}

void Transactions::rollbackTo(const std::string& name) {
    if (name.empty()) return rollback();
    if (count_ == 0) fail(kErrTransaction, "No transaction is active on connection " + name_);
    for (std::size_t i = savepoints_.size(); i-- > 0;) {
        if (!equalsIgnoringCase(savepoints_[i], name)) continue;
        for (const auto& table : joined_) table->rollbackTo(i);
        savepoints_.resize(i + 1);
        return;
    }
    fail(kErrTransaction, "Savepoint " + name + " does not exist in the transaction of connection " + name_);
}

}  // namespace lce

// The builder API (engine/lce_builder.h) on top of the table and dictionary
// stores.
#include "engine/lce_builder.h"

#include "engine/src/bulk_append.h"
#include "engine/src/dictionary_store.h"
#include "engine/src/error.h"
#include "engine/src/record_locks.h"
#include "engine/src/table_store.h"
#include "engine/src/text.h"

namespace lce {

int TableSchema::columnIndex(const std::string& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsIgnoringCase(columns[i].name, name)) return static_cast<int>(i);
    return -1;
}

struct Dictionary::Impl {
    DictionaryStore store;
};

Dictionary::Dictionary(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Dictionary::Dictionary(Dictionary&&) noexcept = default;
Dictionary& Dictionary::operator=(Dictionary&&) noexcept = default;
Dictionary::~Dictionary() = default;

Dictionary Dictionary::create(const std::string& path) {
    return Dictionary(std::make_unique<Impl>(Impl{DictionaryStore::create(path)}));
}
Dictionary Dictionary::open(const std::string& path) {
    return Dictionary(std::make_unique<Impl>(Impl{DictionaryStore::open(path, true)}));
}
void Dictionary::addUser(const std::string& name, const std::string& password, const std::vector<std::string>& groups) {
    impl_->store.addUser(name, password, groups);
}
void Dictionary::addTable(const TableEntry& table) { impl_->store.addTable(table); }
void Dictionary::setTableProperty(const std::string& table, std::uint16_t property, const std::string& value) {
    impl_->store.setTableProperty(table, property, value);
}
void Dictionary::setFieldProperty(const std::string& table, const std::string& field, std::uint16_t property,
                                  const std::string& value) {
    impl_->store.setFieldProperty(table, field, property, value);
}
void Dictionary::removeTableProperty(const std::string& table, std::uint16_t property) {
    impl_->store.removeTableProperty(table, property);
}
std::vector<Dictionary::TableEntry> Dictionary::tables() const { return impl_->store.tables(); }
const std::string& Dictionary::path() const { return impl_->store.path(); }

struct TableFile::Impl {
    std::shared_ptr<TableStore> store;
    // Appending to a table the engine's users may be editing: the table lock
    // for as long as it is open, so no record another holds is written past.
    std::unique_ptr<LockFile> locks;
    // While a transaction fills the new table, its appends (see bulk_append.h).
    std::unique_ptr<BulkAppend> bulk;
    // Everything else on the table waits for the rows queued.
    TableStore& settled() {
        if (bulk) bulk->finish();
        return *store;
    }
};

TableFile::TableFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TableFile::TableFile(TableFile&&) noexcept = default;
TableFile& TableFile::operator=(TableFile&&) noexcept = default;
TableFile::~TableFile() {
    if (!impl_) return;
    impl_->bulk.reset();
    if (impl_->store && impl_->store->inTransaction()) impl_->store->rollback();
}

TableFile TableFile::create(const std::string& path, const TableSchema& schema) {
    return TableFile(std::make_unique<Impl>(Impl{TableStore::create(path, schema), nullptr, nullptr}));
}
TableFile TableFile::openForAppend(const std::string& path) {
    auto store = TableStore::open(path, true);
    auto locks = LockFile::open(store->path(), true);
    if (!locks->tryLock(LockFile::kOpenByte, 1, false) || !locks->tryLock(LockFile::kAppendByte, 1, true) ||
        !locks->tryLock(LockFile::kRecordBase, 0, true))
        fail(kErrLocked, "Table " + store->path() +
                             " is open exclusively or has records locked by another user; try again when they have "
                             "finished with it");
    return TableFile(std::make_unique<Impl>(Impl{std::move(store), std::move(locks), nullptr}));
}
TableFile TableFile::openForReading(const std::string& path) {
    return TableFile(std::make_unique<Impl>(Impl{TableStore::open(path, false), nullptr, nullptr}));
}
const TableSchema& TableFile::schema() const { return impl_->store->schema(); }
const std::string& TableFile::path() const { return impl_->store->path(); }
std::int64_t TableFile::append(const Row& row) {
    return impl_->bulk ? impl_->bulk->append(row) : impl_->store->append(row);
}
std::int64_t TableFile::rowCount() const { return impl_->settled().rowCount(); }

void TableFile::forEachRow(const std::function<bool(std::int64_t, const Row&)>& visit) const {
    const TableStore& store = impl_->settled();
    const auto lease = store.reading();
    Stmt q(store.db(), "SELECT __recno, __rec FROM lce_images ORDER BY __recno");
    std::string image;
    while (q.step()) {
        const std::int64_t recno = q.integer(0);
        store.unpack(recno, q.blob(1), image);
        if (!visit(recno, store.decodeRow(recno, image))) break;
    }
}

TableFile::Transaction::Transaction(TableFile& table) : table_(&table) {
    TableStore& store = *table.impl_->store;
    store.begin();
    try {
        if (store.bulkLoading()) table.impl_->bulk = std::make_unique<BulkAppend>(store);
    } catch (...) {
        store.rollback();
        throw;
    }
}
TableFile::Transaction::~Transaction() {
    if (open_) rollback();
}
void TableFile::Transaction::commit() {
    if (!open_) fail(kErrTransaction, "The transaction has ended already");
    open_ = false;
    Impl& impl = *table_->impl_;
    try {
        impl.settled();
    } catch (...) {
        impl.bulk.reset();
        impl.store->rollback();
        throw;
    }
    impl.bulk.reset();
    impl.store->commit();
}
void TableFile::Transaction::rollback() {
    if (!open_) return;
    open_ = false;
    table_->impl_->bulk.reset();
    table_->impl_->store->rollback();
}

}  // namespace lce

// Connections: resolving table names through the dictionary or the folder, the
// handles they own, and their transaction counters and savepoints.
#include "engine/src/connection.h"

#include "engine/src/cursor.h"
#include "engine/src/error.h"
#include "engine/src/table_writer.h"
#include "engine/src/text.h"

namespace lce {

Connection::Connection(std::string folder, std::optional<DictionaryStore> dictionary, std::string user)
    : folder_(std::move(folder)),
      dictionary_(std::move(dictionary)),
      user_(std::move(user)),
      transactions_(dictionary_ ? dictionary_->path() : folder_) {}

std::shared_ptr<WritableTable> Connection::writableTable(const std::string& file) {
    std::lock_guard lock(mutex_);
    auto it = writables_.find(file);
    if (it != writables_.end()) return it->second;
    auto store = TableStore::openForWriting(file, lockWait());
    RecordLocks locks(LockFile::open(store->path(), true), store->path());
    auto table = std::make_shared<WritableTable>(std::move(store), std::move(locks));
    writables_.emplace(file, table);
    writerGeneration_->fetch_add(1, std::memory_order_release);
    return table;
}

std::shared_ptr<WritableTable> Connection::findWritable(const std::string& file) const {
    std::lock_guard lock(mutex_);
    const auto it = writables_.find(file);
    return it == writables_.end() ? nullptr : it->second;
}

const DictionaryStore& Connection::dictionary() const {
    if (!dictionary_)
        fail(kErrInvalidHandle, "Connection " + std::to_string(handle) + " is to the free tables of folder " + folder_ +
                                    ", not to a data dictionary; connect to the practice's data dictionary (.LDD) "
                                    "for what the dictionary holds");
    return *dictionary_;
}

namespace {
bool isAbsolute(const std::string& p) { return !p.empty() && p[0] == '/'; }
std::string join(const std::string& folder, const std::string& name) {
    if (isAbsolute(name) || folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}
}  // namespace

Connection::TableTarget Connection::resolveTable(const std::string& raw, std::uint16_t tableType) const {
    const std::string name = normalizePath(raw);
    TableTarget target;
    target.tableType = tableType;
    const bool plainName = name.find('/') == std::string::npos;
    if (dictionary_ && plainName) {
        const auto entry = dictionary_->findTable(name);
        if (!entry) fail(kErrNotInDictionary, "Table " + raw + " is not in the data dictionary " + dictionary_->path());
        target.file = join(folder_, entry->file);
        target.dictionaryName = entry->name;
        if (tableType == 0) target.tableType = entry->tableType;
        return target;
    }
    const std::string path = join(folder_, name);
    if (!findFile(path).empty()) {
        target.file = path;
        return target;
    }
    // A name without extension finds the file with the extension of its type.
    if (fileNameOf(path).find('.') == std::string::npos) {
        const char* ext = (tableType == 0 || tableType == 3) ? ".LDT" : ".DBF";
        if (!findFile(path + ext).empty()) {
            target.file = path + ext;
            return target;
        }
    }
    target.file = path;  // opening reports the missing file
    return target;
}

void Connection::setSqlTimeout(std::uint32_t ms) {
    sqlTimeout_ = ms;
    if (dictionary_) dictionary_->setLockWait(lockWait());
}

std::string Connection::applicationId() const {
    std::lock_guard lock(mutex_);
    return applicationId_;
}

void Connection::setApplicationId(const std::string& id) {
    std::lock_guard lock(mutex_);
    applicationId_ = id;
}

void Connection::adopt(std::uint32_t h) {
    std::lock_guard lock(mutex_);
    children_.insert(h);
}

void Connection::forget(std::uint32_t h) {
    std::lock_guard lock(mutex_);
    children_.erase(h);
}

void Connection::releaseAll() {
    std::set<std::uint32_t> children;
    {
        std::lock_guard lock(mutex_);
        children.swap(children_);
    }
    for (std::uint32_t h : children) closeCursorHandle(h);
}

void Connection::releaseFileForRename(const std::string& file) {
    std::lock_guard lock(mutex_);
    for (std::uint32_t h : children_) {
        const auto cursor = std::dynamic_pointer_cast<Cursor>(HandleRegistry::instance().find(h));
        if (cursor && findFile(cursor->store().path()) == file) {
            fail(kErrLocked, "Table " + file + " is open; close it before renaming it");
        }
    }
    if (writables_.erase(file) != 0) writerGeneration_->fetch_add(1, std::memory_order_release);
}

void closeCursorHandle(std::uint32_t h) {
    auto object = HandleRegistry::instance().find(h);
    if (auto cursor = std::dynamic_pointer_cast<Cursor>(object)) cursor->releaseHandles();
    HandleRegistry::instance().remove(h);
}

}  // namespace lce

#pragma once
// Registry access for the program: TRegistry holds a root (the current
// user's hive) and a current key; TRegIniFile opens one key below the root
// when it is made and treats that key's subkeys as sections and their values
// as entries.
#include <memory>
#include <string>

#include "store/hive.h"

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = TRegDataType::rdUnknown;
    int DataSize = 0;
};

class TRegistry {
public:
    // On the current user's store file.
    explicit TRegistry(reg::REGSAM access = reg::KEY_ALL_ACCESS);
    TRegistry(std::shared_ptr<const reg::Hive> hive, reg::REGSAM access);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    reg::REGSAM Access() const { return access_; }

    // Opens `key` (relative to the current key, or to the root when it starts
    // with "\" or there is no current key), creating it when `canCreate` is
    // set; on success it becomes the current key. False when it cannot be opened.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    bool HasCurrentKey() const { return current_ != nullptr; }
    const std::string& CurrentPath() const { return currentPath_; }

    bool ValueExists(const std::string& name) const;
    // False when the value cannot be queried.
    bool GetDataInfo(const std::string& name, TRegDataInfo& info) const;
    // -1 when the value cannot be queried.
    int GetDataSize(const std::string& name) const;
    // The text of a REG_SZ or REG_EXPAND_SZ value up to its first NUL, not
    // expanded; "" for a value of size 0. ERegistryException "Invalid data
    // type for '<name>'" for another type, "Failed to get data for '<name>'"
    // when the data cannot be read.
    std::string ReadString(const std::string& name) const;

protected:
    // What relative names start from: the current key, else the root.
    const reg::OpenKey& BaseKey(bool relative) const;
    reg::LONG OpenSubKey(const std::string& name, reg::KeyHandle& result) const;

    // The same operations on a key other than the current one.
    bool GetDataInfo(const reg::OpenKey& key, const std::string& name, TRegDataInfo& info) const;
    std::string ReadString(const reg::OpenKey& key, const std::string& name) const;
    void GetData(const reg::OpenKey& key, const std::string& name, std::string& buffer, TRegDataType& type) const;

private:
    reg::REGSAM access_;
    reg::KeyHandle root_;
    reg::KeyHandle current_;
    std::string currentPath_;
};

class TRegIniFile : public TRegistry {
public:
    // Opens or creates (in memory only; nothing is written) `fileName` below
    // the root. When that fails there is no current key and sections are
    // looked for below the root.
    explicit TRegIniFile(const std::string& fileName, reg::REGSAM access = reg::KEY_ALL_ACCESS);
    TRegIniFile(std::shared_ptr<const reg::Hive> hive, const std::string& fileName, reg::REGSAM access);

    const std::string& FileName() const { return fileName_; }

    // The entry `ident` of the subkey `section`, read as by ReadString; the
    // default when the subkey cannot be opened or lacks the entry.
    std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);

private:
    std::string fileName_;
};

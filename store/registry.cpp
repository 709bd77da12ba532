// TRegistry and TRegIniFile over the current user's hive.
#include "store/registry.h"

#include <cstring>

#include "framework/exceptions.h"

namespace {

TRegDataType DataTypeOf(reg::DWORD type) {
    switch (type) {
        case reg::REG_SZ: return TRegDataType::rdString;
        case reg::REG_EXPAND_SZ: return TRegDataType::rdExpandString;
        case reg::REG_DWORD: return TRegDataType::rdInteger;
        case reg::REG_BINARY: return TRegDataType::rdBinary;
        default: return TRegDataType::rdUnknown;
    }
}

std::shared_ptr<const reg::Hive> CurrentUserHive() { return std::make_shared<reg::FileHive>(reg::DefaultStorePath()); }

}  // namespace

TRegistry::TRegistry(reg::REGSAM access) : TRegistry(CurrentUserHive(), access) {}

TRegistry::TRegistry(std::shared_ptr<const reg::Hive> hive, reg::REGSAM access)
    : access_(access), root_(reg::OpenKey::Root(std::move(hive), access)) {}

TRegistry::~TRegistry() { CloseKey(); }

const reg::OpenKey& TRegistry::BaseKey(bool relative) const {
    return relative && current_ != nullptr ? *current_ : *root_;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    const bool relative = key.empty() || key.front() != '\\';
    const std::string name = relative ? key : key.substr(1);
    reg::KeyHandle opened;
    const reg::LONG result = !canCreate || name.empty()
                                 ? reg::OpenKeyEx(BaseKey(relative), name, access_, opened)
                                 : reg::CreateKeyEx(BaseKey(relative), name, access_, opened, nullptr);
    if (result != reg::ERROR_SUCCESS) return false;
    std::string path = name;
    if (current_ != nullptr && relative && !name.empty()) path = currentPath_ + "\\" + name;
    if (current_ != nullptr && relative && name.empty()) path = currentPath_;
    current_ = std::move(opened);
    currentPath_ = std::move(path);
    return true;
}

void TRegistry::CloseKey() {
    current_.reset();
    currentPath_.clear();
}

reg::LONG TRegistry::OpenSubKey(const std::string& name, reg::KeyHandle& result) const {
    const bool relative = name.empty() || name.front() != '\\';
    return reg::OpenKeyEx(BaseKey(relative), relative ? name : name.substr(1), access_, result);
}

bool TRegistry::GetDataInfo(const reg::OpenKey& key, const std::string& name, TRegDataInfo& info) const {
    reg::DWORD type = 0;
    reg::DWORD size = 0;
    if (reg::QueryValueEx(key, name, &type, nullptr, &size) != reg::ERROR_SUCCESS) {
        info = {};
        return false;
    }
    info.RegData = DataTypeOf(type);
    info.DataSize = static_cast<int>(size);
    return true;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) const {
    if (current_ == nullptr) return GetDataInfo(*root_, name, info);
    return GetDataInfo(*current_, name, info);
}

bool TRegistry::ValueExists(const std::string& name) const {
    TRegDataInfo info;
    return GetDataInfo(name, info);
}

int TRegistry::GetDataSize(const std::string& name) const {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

void TRegistry::GetData(const reg::OpenKey& key, const std::string& name, std::string& buffer,
                        TRegDataType& type) const {
    reg::DWORD regType = 0;
    auto size = static_cast<reg::DWORD>(buffer.size());
    if (reg::QueryValueEx(key, name, &regType, reinterpret_cast<std::uint8_t*>(buffer.data()), &size) !=
        reg::ERROR_SUCCESS)
        throw fw::ERegistryException(fw::Format("Failed to get data for '%s'", {name}));
    buffer.resize(size);
    type = DataTypeOf(regType);
}

std::string TRegistry::ReadString(const reg::OpenKey& key, const std::string& name) const {
    TRegDataInfo info;
    const int size = GetDataInfo(key, name, info) ? info.DataSize : -1;
    if (size <= 0) return {};
    std::string buffer(static_cast<std::size_t>(size), '\0');
    TRegDataType type = TRegDataType::rdUnknown;
    GetData(key, name, buffer, type);
    if (type != TRegDataType::rdString && type != TRegDataType::rdExpandString)
        throw fw::ERegistryException(fw::Format("Invalid data type for '%s'", {name}));
    return buffer.substr(0, ::strnlen(buffer.data(), buffer.size()));
}

std::string TRegistry::ReadString(const std::string& name) const {
    return ReadString(current_ != nullptr ? *current_ : *root_, name);
}

TRegIniFile::TRegIniFile(const std::string& fileName, reg::REGSAM access)
    : TRegIniFile(CurrentUserHive(), fileName, access) {}

TRegIniFile::TRegIniFile(std::shared_ptr<const reg::Hive> hive, const std::string& fileName, reg::REGSAM access)
    : TRegistry(std::move(hive), access), fileName_(fileName) {
    OpenKey(fileName, true);
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) {
    reg::KeyHandle key;
    if (OpenSubKey(section, key) != reg::ERROR_SUCCESS) return defaultValue;
    // The subkey closes when `key` goes, also when reading raises.
    TRegDataInfo info;
    if (!GetDataInfo(*key, ident, info)) return defaultValue;
    return TRegistry::ReadString(*key, ident);
}

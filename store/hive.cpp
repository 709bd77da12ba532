// The hive over the store file: finding the file, reading it within its
// limits, and the key operations with the registry's result codes.
#include "store/hive.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/bounded_file.h"

namespace reg {
namespace {

// The rights that change a key or what it holds.
constexpr REGSAM kChangeRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /*DELETE*/ |
                                 0x00040000 /*WRITE_DAC*/ | 0x00080000 /*WRITE_OWNER*/;

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        return found->pw_dir;
    return "/";
}

bool InGroup(gid_t gid) {
    if (getegid() == gid) return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The full path of `subKey` below `parent`; none when a part is empty.
std::optional<std::string> Below(const OpenKey& parent, std::string_view subKey) {
    if (subKey.empty()) return parent.Path();
    std::size_t start = 0;
    while (true) {
        const std::size_t next = subKey.find('\\', start);
        if (next == start || start == subKey.size()) return std::nullopt;
        if (next == std::string_view::npos) break;
        start = next + 1;
    }
    return parent.Path().empty() ? std::string(subKey) : parent.Path() + "\\" + std::string(subKey);
}

bool MayOpen(const Hive& hive, REGSAM access) { return (access & kChangeRights) == 0 || hive.Writable(); }

[[noreturn]] void RefuseStore(const std::filesystem::path& file, std::string_view reason) {
    throw EStoreError("The settings store " + file.string() + " cannot be used: " + std::string(reason) +
                      "; repair or remove it, then record the practice folder with \"payxref-db use FOLDER\"");
}

std::string TooLarge() { return "it is larger than " + std::to_string(kMaxStoreBytes / (1024 * 1024)) + " MiB"; }

// Why opening or reading failed, in the tool's own words.
std::string ReadFailure(int error) {
    switch (error) {
        case EACCES:
        case EPERM: return "you are not allowed to read it";
        case EISDIR: return "it is a folder, not a file";
        case ENXIO:
        case ENODEV: return "it is not a regular file";
        case ENOTDIR: return "a part of its path is a file, not a folder";
        case ELOOP: return "it is a link that leads round in a circle";
        default: return "reading it failed (system error " + std::to_string(error) + ")";
    }
}

}  // namespace

std::filesystem::path DefaultStorePath() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/')
        base = xdg;
    else
        base = HomeFolder() / ".config";
    return base / "Orvanta" / "registry.reg";
}

bool FileWritable(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return false;
    mode_t bit = S_IWOTH;
    if (st.st_uid == geteuid())
        bit = S_IWUSR;
    else if (InGroup(st.st_gid))
        bit = S_IWGRP;
    if ((st.st_mode & bit) == 0) return false;
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

std::optional<std::string> ReadStoreFile(const std::filesystem::path& file) {
    using Refusal = fw::BoundedRead::Refusal;
    fw::BoundedRead read = fw::ReadBoundedFile(file, kMaxStoreBytes);
    switch (read.refusal) {
        case Refusal::None: return std::move(read.bytes);
        case Refusal::Missing: return std::nullopt;
        case Refusal::Folder: RefuseStore(file, "it is a folder, not a file");
        case Refusal::NotRegular: RefuseStore(file, "it is not a regular file but a pipe, device or socket");
        case Refusal::TooLarge: RefuseStore(file, TooLarge());
        case Refusal::Unreadable: RefuseStore(file, ReadFailure(read.error));
    }
    RefuseStore(file, ReadFailure(read.error));
}

Document ParseStoreFile(const std::filesystem::path& file, std::string_view bytes) {
    try {
        return ParseStore(bytes);
    } catch (const EStoreError& e) {
        RefuseStore(file, e.Message());
    }
}

Document FileHive::Load() const {
    const auto bytes = ReadStoreFile(file_);
    if (!bytes) return {};
    return ParseStoreFile(file_, *bytes);
}

bool FileHive::Writable() const {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return !ec;
    return FileWritable(file_);
}

std::unique_ptr<OpenKey> OpenKey::Root(std::shared_ptr<const Hive> hive, REGSAM access) {
    return std::make_unique<OpenKey>(std::move(hive), std::string(), access, true);
}

LONG OpenKeyEx(const OpenKey& parent, std::string_view subKey, REGSAM access, KeyHandle& result) {
    const auto path = Below(parent, subKey);
    if (!path) return ERROR_FILE_NOT_FOUND;
    const Hive& hive = *parent.HiveRef();
    const bool stored = hive.Load().FindKey(*path) != nullptr;
    if (!stored && !(subKey.empty() && !parent.Stored())) return ERROR_FILE_NOT_FOUND;
    if (!MayOpen(hive, access)) return ERROR_ACCESS_DENIED;
    result = std::make_unique<OpenKey>(parent.HiveRef(), *path, access, stored);
    return ERROR_SUCCESS;
}

LONG CreateKeyEx(const OpenKey& parent, std::string_view subKey, REGSAM access, KeyHandle& result, DWORD* disposition) {
    const auto path = Below(parent, subKey);
    if (!path) return ERROR_FILE_NOT_FOUND;
    const Hive& hive = *parent.HiveRef();
    const bool stored = hive.Load().FindKey(*path) != nullptr;
    // Making a key up changes the hive, so it takes the right to change it.
    if (!MayOpen(hive, stored ? access : access | KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    if (disposition != nullptr) *disposition = stored ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    result = std::make_unique<OpenKey>(parent.HiveRef(), *path, access, stored);
    return ERROR_SUCCESS;
}

LONG QueryValueEx(const OpenKey& key, std::string_view name, DWORD* type, std::uint8_t* data, DWORD* size) {
    if ((key.Access() & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    const Document doc = key.HiveRef()->Load();
    const KeyEntry* entry = doc.FindKey(key.Path());
    if (entry == nullptr) return key.Stored() ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    const auto it = entry->values.find(FoldCase(name));
    if (it == entry->values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& value = it->second.value;
    if (type != nullptr) *type = value.type;
    const auto needed = static_cast<DWORD>(value.data.size());
    if (data != nullptr) {
        if (size == nullptr) return ERROR_ACCESS_DENIED;  // a buffer without its size is refused
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value.data.data(), needed);
    }
    if (size != nullptr) *size = needed;
    return ERROR_SUCCESS;
}

}  // namespace reg

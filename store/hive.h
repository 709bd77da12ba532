#pragma once
// The current user's registry hive, played by a store file, and the key
// operations the registry classes are built on (create or open a key, open a
// key, query a value, close a key by dropping its handle).
//
// Every operation reads the store afresh, as registry calls see the live
// registry. Nothing here writes the store: a key "created" by CreateKeyEx
// that the store does not hold exists only for as long as its handle.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "store/reg_file.h"

namespace reg {

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using REGSAM = std::uint32_t;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_KEY_DELETED = 1018;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

class Hive {
public:
    virtual ~Hive() = default;
    // The store's content now; a missing store is an empty one. EStoreError
    // for a store that is there but cannot be used (see ReadStoreFile and
    // ParseStore).
    virtual Document Load() const = 0;
    // Whether the user may change the store. Keys cannot be opened with
    // rights that change them when this is false.
    virtual bool Writable() const = 0;
};

// The store file $XDG_CONFIG_HOME/Orvanta/registry.reg, or
// ~/.config/Orvanta/registry.reg when that variable is unset, empty or not an
// absolute path.
std::filesystem::path DefaultStorePath();

// Whether the file's permission bits let the effective user write it: the
// owner's bits when the user owns it, else the group's when the user is in
// its group, else the others'. Root gets no exemption, so a file that nobody
// may write reads as read-only for root too; a file system mounted read-only
// or an access list that denies writing also counts. False for no file.
bool FileWritable(const std::filesystem::path& file);

// The bytes of a store file, or nothing when there is no such file. Only a
// regular file is read: opening cannot block (a FIFO is refused before
// anything is read) and reading stops past kMaxStoreBytes. EStoreError, with
// a message that names the file and what to do, for a folder, a FIFO, a
// device, a file the user may not read or one larger than the limit.
std::optional<std::string> ReadStoreFile(const std::filesystem::path& file);

// ParseStore on the bytes of `file`, its refusals restated to name the file.
Document ParseStoreFile(const std::filesystem::path& file, std::string_view bytes);

class FileHive : public Hive {
public:
    explicit FileHive(std::filesystem::path file) : file_(std::move(file)) {}
    const std::filesystem::path& File() const { return file_; }
    Document Load() const override;
    // A missing store may be written (by creating it).
    bool Writable() const override;

private:
    std::filesystem::path file_;
};

// An open key. Dropping it closes it.
class OpenKey {
public:
    OpenKey(std::shared_ptr<const Hive> hive, std::string path, REGSAM access, bool stored)
        : hive_(std::move(hive)), path_(std::move(path)), access_(access), stored_(stored) {}

    // The hive's root key, HKEY_CURRENT_USER; always there.
    static std::unique_ptr<OpenKey> Root(std::shared_ptr<const Hive> hive, REGSAM access);

    const std::shared_ptr<const Hive>& HiveRef() const { return hive_; }
    const std::string& Path() const { return path_; }  // below the root; "" is the root
    REGSAM Access() const { return access_; }
    // False for a key that CreateKeyEx made up without the store holding it.
    bool Stored() const { return stored_; }

private:
    std::shared_ptr<const Hive> hive_;
    std::string path_;
    REGSAM access_;
    bool stored_;
};

using KeyHandle = std::unique_ptr<OpenKey>;

// Opens `subKey` (parts separated by "\") below `parent`, or the parent
// itself again for an empty name; the key is not created.
LONG OpenKeyEx(const OpenKey& parent, std::string_view subKey, REGSAM access, KeyHandle& result);

// Opens `subKey` below `parent`, making it up when the store lacks it.
LONG CreateKeyEx(const OpenKey& parent, std::string_view subKey, REGSAM access, KeyHandle& result, DWORD* disposition);

// A value's type and size (data == nullptr), or its data into a buffer of
// *size bytes: ERROR_MORE_DATA with the needed size when it is too small.
LONG QueryValueEx(const OpenKey& key, std::string_view name, DWORD* type, std::uint8_t* data, DWORD* size);

}  // namespace reg

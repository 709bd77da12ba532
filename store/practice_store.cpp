// Reading the current practice from the store and recording it there,
// leaving every other line of the file as it was.
#include "store/practice_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "framework/exceptions.h"
#include "store/hive.h"
#include "store/reg_edit.h"
#include "store/registry.h"

namespace app {
namespace {

constexpr const char* kKey = "Software";
constexpr const char* kSubKey = "Orvanta";
constexpr const char* kKeyPath = "Software\\Orvanta";
constexpr const char* kValue = "Current Practice";

[[noreturn]] void Fail(const std::string& what) { throw fw::ERegistryException(what); }

std::string SystemText(int code) { return std::system_category().message(code); }

// A file descriptor that is closed when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// The new file until it has taken the store's place; removed otherwise.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("Cannot write " + path + ": " + SystemText(errno));
        done += static_cast<std::size_t>(n);
    }
}

// Writes `bytes` to a new file beside `target` and renames it over `target`,
// so that readers see either the old store or the new one, never a part.
void ReplaceFile(const std::filesystem::path& target, const std::string& bytes, mode_t mode) {
    const std::filesystem::path folder = target.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) Fail("Cannot create " + folder.string() + ": " + ec.message());
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkstemp(pattern.data()));
    if (fd.Get() < 0) Fail("Cannot create a file in " + folder.string() + ": " + SystemText(errno));
    TempFile temp(pattern);
    WriteAll(fd.Get(), bytes, temp.Path());
    if (::fchmod(fd.Get(), mode) != 0 || ::fsync(fd.Get()) != 0)
        Fail("Cannot write " + temp.Path() + ": " + SystemText(errno));
    if (::close(fd.Release()) != 0) Fail("Cannot write " + temp.Path() + ": " + SystemText(errno));
    if (::rename(temp.Path().c_str(), target.c_str()) != 0)
        Fail("Cannot replace " + target.string() + ": " + SystemText(errno));
    temp.Keep();
}

}  // namespace

std::string ReadCurrentPracticePath() {
    TRegIniFile registry(kKey, reg::KEY_ALL_ACCESS);
    return registry.ReadString(kSubKey, kValue, "");
}

std::string ReadCurrentPracticePath(std::shared_ptr<const reg::Hive> hive) {
    TRegIniFile registry(std::move(hive), kKey, reg::KEY_ALL_ACCESS);
    return registry.ReadString(kSubKey, kValue, "");
}

void RecordCurrentPractice(const std::string& folder) { RecordCurrentPractice(reg::DefaultStorePath(), folder); }

void RecordCurrentPractice(const std::filesystem::path& store, const std::string& folder) {
    // A link to the store is kept; the file it leads to is replaced.
    std::error_code ec;
    std::filesystem::path target = store;
    if (std::filesystem::is_symlink(store, ec)) target = std::filesystem::weakly_canonical(store, ec);
    if (ec) target = store;

    // Only a regular file within the store's limits is read and replaced.
    const std::optional<std::string> old = reg::ReadStoreFile(target);
    std::optional<std::string> bytes;
    mode_t mode = 0600;
    if (old) {
        if (!reg::FileWritable(target)) Fail(target.string() + " is read-only; it was left unchanged");
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
        const reg::Document doc = reg::ParseStoreFile(target, *old);
        if (!doc.format) Fail(target.string() + " is not a registry file; it was left unchanged");
        try {
            bytes = reg::WithStringValue(doc, kKeyPath, kValue, folder);
        } catch (const reg::EStoreError& e) {
            // The edited store is read back to check it; it would exceed a limit.
            Fail(target.string() + " would then be beyond the store's limits (" + e.Message() +
                 "); it was left unchanged");
        }
    } else {
        bytes = reg::NewStoreWithStringValue(kKeyPath, kValue, folder);
    }
    if (!bytes) Fail("The folder name cannot be recorded: it contains a line break, a NUL or invalid UTF-8");
    ReplaceFile(target, *bytes, mode);
}

}  // namespace app

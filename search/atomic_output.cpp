// The output file of `payxref search --output`: a temporary file beside the
// target, created exclusively, synced and renamed over the target at the end.
#include "search/atomic_output.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace app {
namespace {

namespace fs = std::filesystem;

// Attempts at a temporary name that no other file has.
constexpr int kNameAttempts = 100;

std::string Reason(int error) {
    switch (error) {
        case ENOENT: return "the folder does not exist";
        case ENOTDIR: return "a part of the path is not a folder";
        case EACCES:
        case EPERM: return "permission denied";
        case EROFS: return "the file system is read-only";
        case ENOSPC:
        case EDQUOT: return "the disk is full";
        case EISDIR: return "it is a folder";
        case ENAMETOOLONG: return "the name is too long";
        default: return "system error " + std::to_string(error);
    }
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw OutputFileError("cannot write the output file " + path + ": " + reason);
}

// Syncs a closed file's contents to disk.
bool Sync(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string path) : path_(std::move(path)) {
    std::error_code ec;
    if (fs::is_directory(path_, ec)) Fail(path_, Reason(EISDIR));
    const fs::path target(path_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string base = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = (folder / (base + std::to_string(attempt))).string();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            Fail(path_, Reason(errno));
        }
        ::close(fd);
        temporary_ = candidate;
        stream_.open(temporary_, std::ios::binary | std::ios::trunc);
        if (!stream_) {
            Discard();
            Fail(path_, "the temporary file cannot be opened");
        }
        return;
    }
    Fail(path_, "no temporary name is free in its folder");
}

AtomicOutputFile::~AtomicOutputFile() {
    if (!committed_) Discard();
}

void AtomicOutputFile::Commit() {
    stream_.flush();
    const bool written = static_cast<bool>(stream_);
    stream_.close();
    if (!written || stream_.fail()) {
        Discard();
        Fail(path_, "writing it failed; the disk may be full");
    }
    if (!Sync(temporary_)) {
        const int error = errno;
        Discard();
        Fail(path_, Reason(error));
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        Discard();
        Fail(path_, Reason(error));
    }
    committed_ = true;
}

void AtomicOutputFile::Discard() noexcept {
    if (stream_.is_open()) stream_.close();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace app

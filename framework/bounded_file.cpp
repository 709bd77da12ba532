// Bounded reading of regular files, shared by every reader of outside files
// (the settings store, lum.ini, payxref-db's inputs).
#include "framework/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace fw {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

int OpenForReading(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

BoundedRead ReadBoundedFile(const std::filesystem::path& file, std::uint64_t maxBytes) {
    using Refusal = BoundedRead::Refusal;
    BoundedRead result;
    const auto refuse = [&result](Refusal why, int error = 0) {
        result.bytes.clear();
        result.refusal = why;
        result.error = error;
        return result;
    };
    const FileDescriptor fd(OpenForReading(file));
    if (fd.Get() < 0) return refuse(errno == ENOENT ? Refusal::Missing : Refusal::Unreadable, errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return refuse(Refusal::Unreadable, errno);
    if (S_ISDIR(st.st_mode)) return refuse(Refusal::Folder);
    if (!S_ISREG(st.st_mode)) return refuse(Refusal::NotRegular);
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return refuse(Refusal::TooLarge);
    result.bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::vector<char> buffer(64 * 1024);
    while (true) {
        const ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refuse(Refusal::Unreadable, errno);
        if (n == 0) return result;
        if (result.bytes.size() + static_cast<std::size_t>(n) > maxBytes) return refuse(Refusal::TooLarge);
        result.bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

}  // namespace fw

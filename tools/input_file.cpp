// Bounded reading of the files payxref-db is given: regular files only, opened
// without blocking, refused past a size limit.
#include "tools/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace payxref::db {
namespace {

std::string OpenFailure(int error) {
    switch (error) {
        case ENOENT: return "there is no such file";
        case EACCES:
        case EPERM: return "you are not allowed to read it";
        case ENOTDIR: return "a part of its path is a file, not a folder";
        case ENXIO:
        case ENODEV: return "it is not a regular file";
        case ELOOP: return "it is a link that leads round in a circle";
        default: return "it cannot be read (system error " + std::to_string(error) + ")";
    }
}

}  // namespace

std::string SizeText(std::uint64_t bytes) {
    if (bytes >= (1u << 30) && bytes % (1u << 30) == 0) return std::to_string(bytes >> 30) + " GiB";
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

InputFile::InputFile(const std::string& path, std::uint64_t maxBytes, const std::string& kind)
    : path_(path), maxBytes_(maxBytes), buffer_(64 * 1024), fd_(fw::OpenForReading(path)) {
    if (fd_.Get() < 0) Fail(OpenFailure(errno));
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) Fail(OpenFailure(errno));
    std::string refusal;
    if (S_ISDIR(st.st_mode))
        refusal = "it is a folder; give a " + kind;
    else if (!S_ISREG(st.st_mode))
        refusal = "it is not a regular file but a pipe, device or socket; give a " + kind;
    else if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        refusal = "it is larger than " + SizeText(maxBytes) + ", the most a " + kind + " may hold";
    if (!refusal.empty()) Fail(refusal);
    setg(buffer_.data(), buffer_.data(), buffer_.data());
}

void InputFile::Fail(const std::string& what) const { throw std::runtime_error("cannot read " + path_ + ": " + what); }

InputFile::int_type InputFile::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t n = 0;
    do {
        n = ::read(fd_.Get(), buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) Fail(OpenFailure(errno));
    if (n == 0) return traits_type::eof();
    read_ += static_cast<std::uint64_t>(n);
    // A file that grows while it is read is held to the same limit.
    if (read_ > maxBytes_) Fail("it grew larger than " + SizeText(maxBytes_) + " while it was read");
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
}

std::string ReadInputFile(const std::string& path, std::uint64_t maxBytes, const std::string& kind) {
    InputFile file(path, maxBytes, kind);
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    while (true) {
        const std::streamsize n = file.sgetn(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (n <= 0) return bytes;
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

}  // namespace payxref::db

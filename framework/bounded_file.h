// Reading a file that comes from outside within a size limit. Only a regular
// file is read: it is opened without blocking (a FIFO cannot hold the open),
// its type is checked on the open file (it cannot change in between), and a
// file that grows while it is read is held to the same limit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace fw {

// A file descriptor that is closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// Opens `file` for reading without blocking and without taking a terminal;
// -1 with errno set on failure.
int OpenForReading(const std::filesystem::path& file);

struct BoundedRead {
    enum class Refusal { None, Missing, Folder, NotRegular, TooLarge, Unreadable };
    std::string bytes;  // the whole file when refusal is None
    Refusal refusal = Refusal::None;
    int error = 0;  // the system error of Unreadable
};

// The bytes of `file` when it is a regular file of at most `maxBytes`;
// otherwise why not. Never throws for the file's sake.
BoundedRead ReadBoundedFile(const std::filesystem::path& file, std::uint64_t maxBytes);

}  // namespace fw

// The files payxref-db reads (CSV files, schema documents), opened so that
// what is not a regular file is refused before anything is read: a folder, a
// FIFO (which cannot block the open), a device such as /dev/zero. A size
// limit is checked on opening and again while reading, as a file may grow.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>
#include <vector>

#include "framework/bounded_file.h"

namespace payxref::db {

class InputFile : public std::streambuf {
public:
    // Throws std::runtime_error with a message that names the file and what
    // is wrong with it; `kind` says what the file should be ("CSV file").
    InputFile(const std::string& path, std::uint64_t maxBytes, const std::string& kind);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

protected:
    int_type underflow() override;

private:
    [[noreturn]] void Fail(const std::string& what) const;
    std::string path_;
    std::uint64_t maxBytes_;
    std::uint64_t read_ = 0;
    std::vector<char> buffer_;
    fw::FileDescriptor fd_;
};

// The whole of a file, read through InputFile.
std::string ReadInputFile(const std::string& path, std::uint64_t maxBytes, const std::string& kind);

// "1 GiB", "64 KiB", "100 bytes": a limit as the messages and README state it.
std::string SizeText(std::uint64_t bytes);

}  // namespace payxref::db

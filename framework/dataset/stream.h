#pragma once
// TStream: a sequence of bytes read and written at a position, as a blob
// field's value is. A dataset hands out streams over its blob values
// (TDataSet::CreateBlobStream); a field reads and writes its value through one.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fw {

enum class TSeekOrigin : std::uint8_t { soBeginning, soCurrent, soEnd };
// How a blob stream is opened: to read, to replace the value, or to change it in place.
enum class TBlobStreamMode : std::uint8_t { bmRead, bmWrite, bmReadWrite };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to `count` bytes at the position into `buffer`; returns how
    // many were read (fewer at the end) and moves the position past them.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes `count` bytes at the position, growing the value when needed;
    // returns how many were written.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Moves the position; a position before the start becomes the start.
    // Returns the new position.
    virtual std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::uint64_t Size() const = 0;
    // Cuts or zero-extends the value to `size` bytes.
    virtual void SetSize(std::uint64_t size) = 0;
    std::uint64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }

    // The whole value from the start, and replacing the whole value.
    std::string ReadAll();
    void WriteAll(const std::string& bytes);
};

}  // namespace fw

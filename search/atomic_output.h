#pragma once
// A file written whole or not at all: the text goes to a temporary file in
// the same folder, which replaces the named file only when it is complete and
// is removed when the run ends any other way.
#include <fstream>
#include <stdexcept>
#include <string>

namespace app {

// A failure to write the output file, worded for the user.
class OutputFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AtomicOutputFile {
public:
    // Creates the temporary file; OutputFileError when it cannot be made.
    explicit AtomicOutputFile(std::string path);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    std::ostream& Stream() { return stream_; }
    // Writes the file to disk and puts it in place; OutputFileError when that
    // fails, with the temporary file removed.
    void Commit();

    const std::string& TemporaryPath() const { return temporary_; }

private:
    void Discard() noexcept;

    std::string path_;
    std::string temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

}  // namespace app

// Helpers for tests of files another program uses: the second program
// (lce_test_writer, path in LCE_TEST_WRITER) holding a table's lock or
// leaving a write half done, and snapshots of a folder to show that
// reading changed nothing in it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace lcetest {

inline std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Holds the exclusive lock of a file from a second process for ms
// milliseconds from the moment the constructor returns; the destructor waits
// for the process to end.
class LockHolder {
public:
    LockHolder(const std::string& file, int ms) {
        const std::string cmd = shellQuoted(LCE_TEST_WRITER) + " lock " + shellQuoted(file) + " " + std::to_string(ms);
        pipe_ = popen(cmd.c_str(), "r");
        char line[32] = {};
        locked_ = pipe_ && std::fgets(line, sizeof line, pipe_) && std::string(line) == "locked\n";
        EXPECT_TRUE(locked_) << "the second process did not take the lock of " << file;
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    ~LockHolder() {
        if (pipe_) pclose(pipe_);
    }
    bool locked() const { return locked_; }

private:
    FILE* pipe_ = nullptr;
    bool locked_ = false;
};

// Runs the second program in one of its other modes to its end.
inline bool runWriter(const std::string& mode, const std::string& file) {
    const std::string cmd = shellQuoted(LCE_TEST_WRITER) + " " + mode + " " + shellQuoted(file);
    return std::system(cmd.c_str()) == 0;
}

// Whether another program can take a file's exclusive lock at once: 0 yes,
// 3 no (the second program's exit status), -1 when it did not run.
inline int tryLock(const std::string& file) {
    const int status = std::system((shellQuoted(LCE_TEST_WRITER) + " try-lock " + shellQuoted(file)).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every file of a folder with its bytes.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[entry.path().filename().string()] = bytes.str();
    }
    return files;
}

inline std::string fileNames(const std::map<std::string, std::string>& files) {
    std::string names;
    for (const auto& [name, bytes] : files) names += name + " ";
    return names;
}

}  // namespace lcetest

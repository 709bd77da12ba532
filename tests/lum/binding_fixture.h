// Test helpers for lum.ini aliases: a guard that puts back the environment
// and the current folder a test changes, and a lum.ini written to a folder
// that "lumini_path" names, so no test depends on the machine's files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/lum/fixture.h"

namespace lumtest {

class EnvironmentGuard {
public:
    EnvironmentGuard() : lumini_(Get("lumini_path")), path_(Get("PATH")), current_(std::filesystem::current_path()) {
        ::unsetenv("lumini_path");
    }
    ~EnvironmentGuard() {
        Put("lumini_path", lumini_);
        Put("PATH", path_);
        std::error_code ec;
        std::filesystem::current_path(current_, ec);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    static std::optional<std::string> Get(const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Put(const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::optional<std::string> lumini_;
    std::optional<std::string> path_;
    std::filesystem::path current_;
};

// Writes `text` as dir/lum.ini and points "lumini_path" at dir.
inline void WriteLumIni(const TempDir& dir, const std::string& text) {
    std::ofstream(dir.path("lum.ini"), std::ios::binary) << text;
    ::setenv("lumini_path", dir.path().c_str(), 1);
}

}  // namespace lumtest

// Small fixtures for the engine tests: a temporary folder and helpers that
// build table files with the builder API and call the C operations.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/engine/lce32.h"
#include "engine/lce_builder.h"

namespace lcetest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name = "") const;

private:
    std::filesystem::path dir_;
};

lce::ColumnDef col(const std::string& name, std::uint16_t type, std::uint32_t length = 0, std::uint16_t decimals = 0);
// A table of a number column "N" (indexed by "ByN") and a 20-character "Name".
lce::TableSchema numberedSchema();
std::string lastErrorText();
UNSIGNED32 lastErrorCode();

// Sets an environment variable for as long as it lives, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Opens a table of a free-table connection; fails the test on error.
LUMHANDLE openTable(LUMHANDLE conn, const std::string& name, UNSIGNED16 type = LUM_LDT);
std::vector<UNSIGNED32> recordNumbers(LUMHANDLE table, LUMHANDLE order);  // GotoTop .. EOF

}  // namespace lcetest

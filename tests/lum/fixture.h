// A small practice database in a temporary folder and the search's database
// components read from their stored description.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/lum/connection.h"
#include "data/lum/query.h"
#include "data/lum/table.h"
#include "engine/lce_builder.h"
#include "framework/component.h"
#include "framework/dataset/data_source.h"

namespace lumtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name = "") const;

private:
    std::filesystem::path dir_;
};

// One ZTTRN record; unset values are null.
struct Transaction {
    std::optional<std::int64_t> entry;  // assigned when unset
    std::string type = "I";
    std::optional<double> amount;
    std::string chart = "AAA00001";
    std::optional<std::int64_t> caseNumber = std::nullopt;
    std::optional<std::int64_t> dateFrom = std::nullopt;  // Julian day
    std::string code = "99213";
};
struct Application {
    std::int64_t payment;
    std::int64_t charge;
    double amount;
};

// ZTTRN and ZTPAX files and the dictionary ZTDDF.LDD, with the user and
// password the search's connection is stored with.
void BuildPractice(const TempDir& dir, const std::vector<Transaction>& transactions,
                   const std::vector<Application>& applications, const std::string& defaultIndex = "");

// The search query's ten lines.
std::vector<std::string> SearchLines();

// The search's database components, read from the search's own description.
struct Components {
    fw::TComponent root;
    lum::TLumConnection* connection = nullptr;
    lum::TLumQuery* query = nullptr;
    lum::TLumTable* table = nullptr;
    fw::TDataSource* dsQryChg = nullptr;
    Components();
};

}  // namespace lumtest

// Recursive-descent parser that writes SQLite SQL (internal to lce_sql).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/sql/tokenizer.h"
#include "engine/sql/translate.h"

namespace lce::sql {

// Upper-cased (ASCII) table name -> SQLite table expression.
using ResolvedTables = std::map<std::string, std::string>;

std::string UpperAscii(std::string_view text);

// Parses one statement. Tables are emitted from `resolved` when given, else as
// their quoted names. Fills everything of Translation.
Translation ParseStatement(const std::vector<Token>& tokens, const ResolvedTables* resolved);

}  // namespace lce::sql

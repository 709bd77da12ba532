// The engine's expression language (filters, LumEvalLogicalExpr and the
// long and short expression forms): a tokenizer, a parser into a tree with
// limits on length, nesting and size, printers of the two forms, and the
// translation of a tree into an SQLite condition over the SQL-visible field
// columns of a table's "records", every literal bound as a parameter.
//
// The language: field names, bare or in brackets ([Entry Number]); text in
// single or double quotes (no escapes: a text holding one kind of quote is
// written in the other); numbers; .T. .F. .TRUE. .FALSE.; the comparisons
// == = <> != # < <= > >=; AND OR NOT and their dotted forms .AND. .OR. .NOT.
// (and ! for NOT); parentheses; the functions UPPER LOWER TRIM RTRIM LTRIM
// ALLTRIM, ctod ctot ctots over quoted values, empty(x) and
// CONTAINS(field, 'words'). "=" on text is a prefix match while exact
// matching is off (LumSetExact22), "==" always compares whole values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lce_builder.h"

namespace lce::expr {

// Limits on what the parser reads: characters, nesting of parentheses,
// NOT and function calls, and nodes of the tree (which bounds the SQL).
constexpr std::size_t kMaxLength = 16000;
constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxNodes = 600;

struct Node {
    enum class Kind : std::uint8_t { Field, Text, Number, Logical, Compare, And, Or, Not, Call, Group };
    Kind kind = Kind::Text;
    // Field: its name; Text: the literal's characters; Number: as written;
    // Compare: the operator; Call: the function name as written.
    std::string text;
    bool bracketed = false;  // Field written in brackets
    char quote = '\'';       // Text: its delimiter
    bool truth = false;      // Logical
    std::vector<std::unique_ptr<Node>> args;
};

// Parses an expression; fails with kErrExpression naming what is wrong and
// where, or when a limit is passed.
std::unique_ptr<Node> parse(std::string_view text);

// The long form ("AND", ".TRUE.", blanks around operators) and the short
// form (".AND.", ".T.", no blanks around comparisons). Each parses back to
// the same tree.
std::string printLong(const Node& node);
std::string printShort(const Node& node);

// A field column as the translation needs it.
struct ColumnRef {
    std::string name;  // the column's own name in "records"
    std::uint16_t type = 0;
};
using ColumnLookup = std::function<std::optional<ColumnRef>(std::string_view name)>;

// An SQLite condition over "records" (columns qualified with "records.");
// parameter i of params is bound as ?(firstParam + i).
struct Compiled {
    std::string sql;
    std::vector<Value> params;
};

// Fails kErrFieldNotFound for a name the lookup does not know and
// kErrExpression for a type mismatch or a value that does not convert.
Compiled translate(const Node& node, const ColumnLookup& columns, bool exact, int firstParam);

// Checks every field name of the tree against the lookup (the same failures
// as translate).
void checkFields(const Node& node, const ColumnLookup& columns);

}  // namespace lce::expr

// The translator's entry points over the tokenizer and parser.
#include "engine/sql/translate.h"

#include "engine/sql/parser.h"
#include "engine/sql/tokenizer.h"

namespace lce::sql {

Translation Translate(std::string_view text, const TableResolver& resolver) {
    const std::vector<Token> tokens = Tokenize(text);
    Translation first = ParseStatement(tokens, nullptr);
    if (!resolver) return first;
    // The statement is known to be sound now; resolve each table once and
    // write the SQLite text again with the resolved table expressions.
    ResolvedTables resolved;
    for (const std::string& table : first.tables) {
        resolved.emplace(UpperAscii(table), resolver(table));
    }
    return ParseStatement(tokens, &resolved);
}

std::string SplitHalf(const Translation& t, const std::string& boundLiteral, bool lower) {
    const GroupSplit& g = *t.split;
    const std::string condition = lower ? "(" + g.columnSql + " < " + boundLiteral + " OR " + g.columnSql + " IS NULL)"
                                        : g.columnSql + " >= " + boundLiteral;
    std::string sql;
    if (g.hasWhere) {
        sql = t.sql.substr(0, g.whereBegin) + "(" + t.sql.substr(g.whereBegin, g.groupByAt - g.whereBegin) + ") AND " +
              condition;
    } else {
        sql = t.sql.substr(0, g.groupByAt) + " WHERE " + condition;
    }
    return sql + t.sql.substr(g.groupByAt) + " ORDER BY " + g.groupBy;
}

std::vector<std::string> ScanParameters(std::string_view text) {
    std::vector<std::string> names;
    for (const Token& token : TokenizeLenient(text)) {
        if (token.type == TokenType::Parameter) names.push_back(token.text);
    }
    return names;
}

}  // namespace lce::sql

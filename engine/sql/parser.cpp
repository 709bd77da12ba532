// The recursive-descent parser of the practice's SQL dialect, writing SQLite SQL;
// every recursive path counts towards one nesting limit.
#include "engine/sql/parser.h"

#include <array>
#include <set>

namespace lce::sql {

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

namespace {

// Words that never stand for an identifier or an alias when written bare.
constexpr std::array<std::string_view, 42> kReserved = {
    "SELECT", "FROM",  "WHERE", "GROUP",   "BY",       "ORDER", "HAVING", "AND",     "OR",   "NOT",   "IN",
    "IS",     "NULL",  "LIKE",  "BETWEEN", "AS",       "ON",    "JOIN",   "INNER",   "LEFT", "RIGHT", "FULL",
    "OUTER",  "CROSS", "UNION", "ALL",     "DISTINCT", "CASE",  "WHEN",   "THEN",    "ELSE", "END",   "EXISTS",
    "ASC",    "DESC",  "INTO",  "VALUES",  "SET",      "TOP",   "ESCAPE", "NATURAL", "USING"};

bool IsReserved(std::string_view word) {
    const std::string upper = UpperAscii(word);
    for (const std::string_view r : kReserved) {
        if (upper == r) return true;
    }
    return false;
}

std::string QuoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string QuoteString(std::string_view value) {
    std::string out = "'";
    for (const char c : value) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

// Alias for a table source written without one: the name without folder and extension.
std::string DefaultAlias(const std::string& name) {
    std::string base = name;
    const std::size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
    return base;
}

// One parsed expression: its SQLite text and what the select list needs to know.
struct Expr {
    std::string sql;
    bool atomic = true;  // usable as an operand without parentheses
    ItemKind kind = ItemKind::Expression;
    bool hasColumn = false;
    ColumnRef column;
};

std::string Operand(const Expr& e) { return e.atomic ? e.sql : "(" + e.sql + ")"; }

Expr Compound(std::string sql) {
    Expr e;
    e.sql = std::move(sql);
    e.atomic = false;
    return e;
}

Expr Atom(std::string sql) {
    Expr e;
    e.sql = std::move(sql);
    return e;
}

// A left-associative chain "a op b op c". Each step adds a suffix to the
// operand so far (" + b", " IS NULL"). While every operator of the chain is of
// one SQLite precedence level the chain is written as it stands ("a OR b OR
// c"); otherwise each left side is enclosed ("(a = b) < c"), which keeps the
// dialect's grouping but costs SQLite's parser one level per step. The text
// is put together once at the end: rewriting the left side at every step
// would take time quadratic in the chain's length.
class Chain {
public:
    explicit Chain(Expr first) : first_(std::move(first)) {}

    // sameLevel: the operator of this step shares SQLite's precedence level
    // with every other operator of the chain.
    void Add(std::string suffix, bool sameLevel) {
        suffixes_.push_back(std::move(suffix));
        flat_ = flat_ && sameLevel;
    }

    Expr Done() {
        if (suffixes_.empty()) return std::move(first_);
        std::string sql(flat_ ? 0 : suffixes_.size() - 1, '(');
        sql += Operand(first_);
        for (std::size_t i = 0; i < suffixes_.size(); ++i) {
            if (i > 0 && !flat_) sql += ')';
            sql += suffixes_[i];
        }
        return Compound(std::move(sql));
    }

private:
    Expr first_;
    std::vector<std::string> suffixes_;
    bool flat_ = true;
};

class Parser {
public:
    Parser(const std::vector<Token>& tokens, const ResolvedTables* resolved) : tokens_(tokens), resolved_(resolved) {}

    // One level of nesting for as long as it lives. Every recursive path of
    // the parser passes through one, so the statement is refused before the
    // stack runs out.
    class Level {
    public:
        explicit Level(Parser& parser) : parser_(parser) {
            if (parser_.depth_ >= kMaxNesting) parser_.TooDeep();
            ++parser_.depth_;
        }
        ~Level() { --parser_.depth_; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

    private:
        Parser& parser_;
    };

    Translation Run() {
        const Token& first = Cur();
        if (IsWord(first, "SELECT") || IsSymbol(first, "(")) {
            out_.kind = StatementKind::Select;
            out_.sql = Select(true);
        } else if (IsWord(first, "INSERT")) {
            out_.kind = StatementKind::Insert;
            out_.sql = Insert();
        } else if (IsWord(first, "UPDATE")) {
            out_.kind = StatementKind::Update;
            out_.sql = Update();
        } else if (IsWord(first, "DELETE")) {
            out_.kind = StatementKind::Delete;
            out_.sql = Delete();
        } else if (first.type == TokenType::End) {
            throw TranslateError(kNativeSyntaxError, "empty statement", "");
        } else {
            throw TranslateError(kNativeUnsupported, "unsupported statement near " + DescribeToken(first),
                                 Excerpt(first.raw));
        }
        AcceptSymbol(";");
        if (Cur().type != TokenType::End) Fail();
        ResolveCandidates();
        return std::move(out_);
    }

private:
    // ---- token helpers ----
    const Token& Cur() const { return tokens_[pos_]; }
    const Token& Ahead(std::size_t n) const { return tokens_[std::min(pos_ + n, tokens_.size() - 1)]; }
    void Next() {
        if (pos_ + 1 < tokens_.size()) ++pos_;
    }
    static bool IsWord(const Token& t, std::string_view word) {
        return t.type == TokenType::Word && UpperAscii(t.text) == word;
    }
    static bool IsSymbol(const Token& t, std::string_view symbol) {
        return t.type == TokenType::Symbol && t.text == symbol;
    }
    bool AcceptWord(std::string_view word) {
        if (!IsWord(Cur(), word)) return false;
        Next();
        return true;
    }
    bool AcceptSymbol(std::string_view symbol) {
        if (!IsSymbol(Cur(), symbol)) return false;
        Next();
        return true;
    }
    void ExpectWord(std::string_view word) {
        if (!AcceptWord(word)) Fail();
    }
    void ExpectSymbol(std::string_view symbol) {
        if (!AcceptSymbol(symbol)) Fail();
    }
    [[noreturn]] void Fail() const {
        const Token& t = Cur();
        throw TranslateError(kNativeSyntaxError, "syntax error near " + DescribeToken(t), Excerpt(t.raw));
    }
    [[noreturn]] void Unsupported(const std::string& what) const {
        const Token& t = Cur();
        throw TranslateError(kNativeUnsupported, what + " near " + DescribeToken(t), Excerpt(t.raw));
    }
    [[noreturn]] void TooDeep() const {
        const Token& t = Cur();
        throw TranslateError(kNativeTooComplex,
                             "SQL statement nested too deeply (more than " + std::to_string(kMaxNesting) +
                                 " levels) near " + DescribeToken(t),
                             Excerpt(t.raw));
    }

    // An identifier token: bracketed/quoted, or a bare word that is no keyword.
    bool AtName() const {
        const Token& t = Cur();
        return t.type == TokenType::Identifier || (t.type == TokenType::Word && !IsReserved(t.text));
    }
    std::string Name() {
        if (!AtName()) Fail();
        std::string name = Cur().text;
        Next();
        return name;
    }

    // ---- statements ----
    std::string Select(bool top) {
        std::string sql = SelectCore(top && !sawCore_);
        while (IsWord(Cur(), "UNION")) {
            Next();
            const bool all = AcceptWord("ALL");
            sql += all ? " UNION ALL " : " UNION ";
            sql += SelectCore(false);
            out_.split.reset();
        }
        if (AcceptWord("ORDER")) {
            out_.split.reset();
            ExpectWord("BY");
            sql += " ORDER BY " + OrderList();
        }
        return sql;
    }

    std::string SelectCore(bool outer) {
        if (IsSymbol(Cur(), "(")) {
            const Level level(*this);
            Next();
            std::string inner = Select(outer);
            ExpectSymbol(")");
            return inner;
        }
        ExpectWord("SELECT");
        const bool firstCore = outer;
        sawCore_ = true;
        std::string sql = "SELECT ";
        std::string limit;
        if (AcceptWord("TOP")) {
            if (Cur().type != TokenType::Number) Fail();
            limit = " LIMIT " + Cur().text;
            Next();
        }
        const bool distinct = AcceptWord("DISTINCT");
        if (distinct) {
            sql += "DISTINCT ";
        } else {
            AcceptWord("ALL");
        }
        sql += SelectList(firstCore);
        if (AcceptWord("FROM")) {
            sql += " FROM " + FromList(firstCore);
        }
        GroupSplit split;
        if (AcceptWord("WHERE")) {
            sql += " WHERE ";
            split.hasWhere = true;
            split.whereBegin = sql.size();
            sql += Expression().sql;
        }
        if (AcceptWord("GROUP")) {
            ExpectWord("BY");
            split.groupByAt = sql.size();
            const Expr first = Expression();
            std::string list = first.sql;
            while (AcceptSymbol(",")) list += ", " + Expression().sql;
            sql += " GROUP BY " + list;
            // Only the statement's own first SELECT can be split; a later
            // UNION or ORDER BY takes the chance away again (Select).
            if (firstCore && !distinct && limit.empty() && first.kind == ItemKind::Column) {
                split.column = first.column;
                split.columnSql = first.sql;
                split.groupBy = std::move(list);
                out_.split = std::move(split);
            }
        }
        if (AcceptWord("HAVING")) sql += " HAVING " + Expression().sql;
        if (!limit.empty()) {
            if (IsWord(Cur(), "UNION") || IsWord(Cur(), "ORDER")) {
                Unsupported("TOP with UNION or ORDER BY");
            }
            sql += limit;
        }
        return sql;
    }

    std::string SelectList(bool outer) {
        std::string sql;
        std::size_t position = 0;
        do {
            ++position;
            if (!sql.empty()) sql += ", ";
            SelectItem item;
            if (IsSymbol(Cur(), "*")) {
                Next();
                sql += "*";
                item.kind = ItemKind::AllColumns;
            } else if (AtName() && IsSymbol(Ahead(1), ".") && IsSymbol(Ahead(2), "*")) {
                item.kind = ItemKind::AllColumns;
                item.column.qualifier = Cur().text;
                item.hasColumn = false;
                sql += QuoteIdentifier(Cur().text) + ".*";
                Next();
                Next();
                Next();
            } else {
                Expr e = Expression();
                item.kind = e.kind;
                item.hasColumn = e.hasColumn;
                item.column = e.column;
                std::string alias;
                if (AcceptWord("AS")) {
                    if (Cur().type == TokenType::String) {
                        alias = Cur().text;
                        Next();
                    } else {
                        alias = Name();
                    }
                } else if (AtName()) {
                    alias = Name();
                }
                if (!alias.empty()) {
                    item.name = alias;
                } else if (e.kind == ItemKind::Column) {
                    item.name = e.column.column;
                } else {
                    item.name = "EXPR_" + std::to_string(position);
                }
                sql += e.sql + " AS " + QuoteIdentifier(item.name);
            }
            if (outer) out_.columns.push_back(std::move(item));
        } while (AcceptSymbol(","));
        return sql;
    }

    std::string FromList(bool outer) {
        std::string sql = TableSource(outer);
        std::size_t tables = 1;
        const auto countTable = [&] {
            if (++tables > kMaxJoinedTables) {
                throw TranslateError(kNativeTooComplex,
                                     "more than " + std::to_string(kMaxJoinedTables) + " tables in one SELECT near " +
                                         DescribeToken(Cur()),
                                     Excerpt(Cur().raw));
            }
        };
        while (true) {
            if (AcceptSymbol(",")) {
                countTable();
                sql += ", " + TableSource(outer);
                continue;
            }
            std::string join;
            if (AcceptWord("NATURAL")) join = "NATURAL ";
            if (AcceptWord("INNER")) {
                join += "INNER ";
            } else if (AcceptWord("CROSS")) {
                join += "CROSS ";
            } else if (IsWord(Cur(), "LEFT") || IsWord(Cur(), "RIGHT") || IsWord(Cur(), "FULL")) {
                join += UpperAscii(Cur().text) + " ";
                Next();
                if (AcceptWord("OUTER")) join += "OUTER ";
            }
            if (!AcceptWord("JOIN")) {
                if (!join.empty()) Fail();
                break;
            }
            countTable();
            sql += " " + join + "JOIN " + TableSource(outer);
            if (AcceptWord("ON")) {
                sql += " ON " + Expression().sql;
            } else if (AcceptWord("USING")) {
                ExpectSymbol("(");
                std::string cols;
                do {
                    if (!cols.empty()) cols += ", ";
                    cols += QuoteIdentifier(Name());
                } while (AcceptSymbol(","));
                ExpectSymbol(")");
                sql += " USING (" + cols + ")";
            }
        }
        return sql;
    }

    // A table name, possibly written with dots ("ZTTRN.LDT").
    std::string TableName() {
        std::string name = Name();
        while (IsSymbol(Cur(), ".") && (Ahead(1).type == TokenType::Identifier || Ahead(1).type == TokenType::Word)) {
            Next();
            name += "." + Cur().text;
            Next();
        }
        return name;
    }

    std::string TableExpression(const std::string& name) const {
        if (resolved_ != nullptr) {
            const auto it = resolved_->find(UpperAscii(name));
            if (it != resolved_->end()) return it->second;
        }
        return QuoteIdentifier(name);
    }

    void AddSource(const std::string& name, const std::string& alias, bool outer) {
        out_.sources.push_back(lce::sql::TableSource{name, alias, outer});
        if (tableKeys_.insert(UpperAscii(name)).second) out_.tables.push_back(name);
    }

    std::string OptionalAlias() {
        if (AcceptWord("AS")) return Name();
        if (AtName()) return Name();
        return {};
    }

    std::string TableSource(bool outer) {
        if (IsSymbol(Cur(), "(")) {
            const Level level(*this);
            Next();
            std::string inner = Select(false);
            ExpectSymbol(")");
            const std::string alias = OptionalAlias();
            std::string sql = "(" + inner + ")";
            if (!alias.empty()) sql += " AS " + QuoteIdentifier(alias);
            return sql;
        }
        const std::string name = TableName();
        std::string alias = OptionalAlias();
        if (alias.empty()) alias = DefaultAlias(name);
        AddSource(name, alias, outer);
        return TableExpression(name) + " AS " + QuoteIdentifier(alias);
    }

    std::string Insert() {
        ExpectWord("INSERT");
        ExpectWord("INTO");
        const std::string name = TableName();
        AddSource(name, DefaultAlias(name), true);
        std::string sql = "INSERT INTO " + TableExpression(name);
        if (IsSymbol(Cur(), "(") && !IsWord(Ahead(1), "SELECT")) {
            Next();
            std::string cols;
            do {
                if (!cols.empty()) cols += ", ";
                cols += QuoteIdentifier(Name());
            } while (AcceptSymbol(","));
            ExpectSymbol(")");
            sql += " (" + cols + ")";
        }
        if (AcceptWord("VALUES")) {
            sql += " VALUES ";
            bool first = true;
            do {
                if (!first) sql += ", ";
                first = false;
                ExpectSymbol("(");
                sql += "(" + ExpressionList() + ")";
                ExpectSymbol(")");
            } while (AcceptSymbol(","));
        } else {
            sql += " " + Select(false);
        }
        return sql;
    }

    std::string Update() {
        ExpectWord("UPDATE");
        const std::string name = TableName();
        std::string alias = OptionalAlias();
        if (IsWord(Cur(), "SET") && alias.empty()) alias = DefaultAlias(name);
        AddSource(name, alias, true);
        std::string sql = "UPDATE " + TableExpression(name) + " AS " + QuoteIdentifier(alias);
        ExpectWord("SET");
        sql += " SET ";
        bool first = true;
        do {
            if (!first) sql += ", ";
            first = false;
            std::string column = Name();
            if (AcceptSymbol(".")) column = Name();  // a qualified target names its column
            ExpectSymbol("=");
            sql += QuoteIdentifier(column) + " = " + Expression().sql;
        } while (AcceptSymbol(","));
        if (AcceptWord("WHERE")) sql += " WHERE " + Expression().sql;
        return sql;
    }

    std::string Delete() {
        ExpectWord("DELETE");
        ExpectWord("FROM");
        const std::string name = TableName();
        std::string alias = OptionalAlias();
        if (alias.empty()) alias = DefaultAlias(name);
        AddSource(name, alias, true);
        std::string sql = "DELETE FROM " + TableExpression(name) + " AS " + QuoteIdentifier(alias);
        if (AcceptWord("WHERE")) sql += " WHERE " + Expression().sql;
        return sql;
    }

    std::string ExpressionList() {
        std::string sql;
        do {
            if (!sql.empty()) sql += ", ";
            sql += Expression().sql;
        } while (AcceptSymbol(","));
        return sql;
    }

    std::string OrderList() {
        std::string sql;
        do {
            if (!sql.empty()) sql += ", ";
            sql += Expression().sql;
            if (AcceptWord("ASC")) {
                sql += " ASC";
            } else if (AcceptWord("DESC")) {
                sql += " DESC";
            }
        } while (AcceptSymbol(","));
        return sql;
    }

    // ---- expressions, lowest precedence first ----
    // noIn: the first argument of POSITION(a IN b), where IN ends the operand.
    Expr Expression(bool noIn = false) { return Or(noIn); }

    Expr Or(bool noIn) {
        Chain chain(And(noIn));
        while (AcceptWord("OR")) chain.Add(" OR " + Operand(And(noIn)), true);
        return chain.Done();
    }

    Expr And(bool noIn) {
        Chain chain(Not(noIn));
        while (AcceptWord("AND")) chain.Add(" AND " + Operand(Not(noIn)), true);
        return chain.Done();
    }

    Expr Not(bool noIn) {
        if (!IsWord(Cur(), "NOT")) return Predicate(noIn);
        const Level level(*this);
        Next();
        return Compound("NOT " + Operand(Not(noIn)));
    }

    static bool IsComparison(const Token& t) {
        if (t.type != TokenType::Symbol) return false;
        return t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "<" || t.text == "<=" || t.text == ">" ||
               t.text == ">=";
    }

    Expr Predicate(bool noIn) {
        Chain chain(Additive());
        while (true) {
            if (IsComparison(Cur())) {
                const std::string op = Cur().text;
                Next();
                chain.Add(" " + op + " " + Operand(Additive()), false);
                continue;
            }
            if (IsWord(Cur(), "IS")) {
                Next();
                const bool negated = AcceptWord("NOT");
                ExpectWord("NULL");
                chain.Add(negated ? " IS NOT NULL" : " IS NULL", false);
                continue;
            }
            const bool negated = IsWord(Cur(), "NOT") &&
                                 (IsWord(Ahead(1), "IN") || IsWord(Ahead(1), "LIKE") || IsWord(Ahead(1), "BETWEEN"));
            if (negated && noIn && IsWord(Ahead(1), "IN")) break;
            if (negated) Next();
            const std::string no = negated ? " NOT" : "";
            if (IsWord(Cur(), "IN") && !noIn) {
                Next();
                const Level level(*this);  // the list or sub-query in parentheses
                ExpectSymbol("(");
                std::string list;
                if (IsWord(Cur(), "SELECT")) {
                    list = Select(false);
                } else {
                    list = ExpressionList();
                }
                ExpectSymbol(")");
                chain.Add(no + " IN (" + list + ")", false);
            } else if (AcceptWord("LIKE")) {
                const Expr pattern = Additive();
                std::string sql = no + " LIKE " + Operand(pattern);
                if (AcceptWord("ESCAPE")) sql += " ESCAPE " + Operand(Additive());
                chain.Add(std::move(sql), false);
            } else if (AcceptWord("BETWEEN")) {
                const Expr low = Additive();
                ExpectWord("AND");
                const Expr high = Additive();
                chain.Add(no + " BETWEEN " + Operand(low) + " AND " + Operand(high), false);
            } else {
                if (negated) Fail();
                break;
            }
        }
        return chain.Done();
    }

    // A sub-query inside an expression: one level deeper.
    std::string SubSelect() {
        const Level level(*this);
        return Select(false);
    }

    Expr Additive() {
        Chain chain(Multiplicative());
        while (IsSymbol(Cur(), "+") || IsSymbol(Cur(), "-") || IsSymbol(Cur(), "||")) {
            const std::string op = Cur().text;
            Next();
            chain.Add(" " + op + " " + Operand(Multiplicative()), op != "||");  // SQLite binds || tighter
        }
        return chain.Done();
    }

    Expr Multiplicative() {
        Chain chain(Unary());
        while (IsSymbol(Cur(), "*") || IsSymbol(Cur(), "/") || IsSymbol(Cur(), "%")) {
            const std::string op = Cur().text;
            Next();
            chain.Add(" " + op + " " + Operand(Unary()), true);
        }
        return chain.Done();
    }

    Expr Unary() {
        if (IsSymbol(Cur(), "-") || IsSymbol(Cur(), "+")) {
            const Level level(*this);
            const std::string op = Cur().text;
            Next();
            return Compound(op + Operand(Unary()));
        }
        return Primary();
    }

    Expr Primary() {
        const Token& t = Cur();
        switch (t.type) {
            case TokenType::Number: {
                Next();
                return Atom(std::string(t.raw));
            }
            case TokenType::String: {
                Next();
                return Atom(QuoteString(t.text));
            }
            case TokenType::Parameter: {
                out_.parameters.push_back(t.text);
                Next();
                return Atom("?" + std::to_string(out_.parameters.size()));
            }
            case TokenType::Symbol: {
                if (t.text != "(") Fail();
                const Level level(*this);
                Next();
                if (IsWord(Cur(), "SELECT")) {
                    std::string inner = Select(false);
                    ExpectSymbol(")");
                    return Atom("(" + inner + ")");
                }
                Expr inner = Expression();
                ExpectSymbol(")");
                return Atom("(" + inner.sql + ")");
            }
            case TokenType::Identifier: return ColumnOrFunction();
            case TokenType::Word: return WordPrimary();
            case TokenType::End: break;
        }
        Fail();
    }

    Expr WordPrimary() {
        const std::string word = UpperAscii(Cur().text);
        if (word == "NULL") {
            Next();
            return Atom("NULL");
        }
        if (word == "TRUE" || word == "FALSE") {
            Next();
            return Atom(word == "TRUE" ? "1" : "0");
        }
        if (word == "CASE") return Case();
        if (word == "EXISTS") {
            Next();
            ExpectSymbol("(");
            std::string inner = SubSelect();
            ExpectSymbol(")");
            return Atom("EXISTS (" + inner + ")");
        }
        if (IsReserved(word)) Fail();
        return ColumnOrFunction();
    }

    Expr Case() {
        const Level level(*this);
        ExpectWord("CASE");
        std::string sql = "CASE";
        if (!IsWord(Cur(), "WHEN")) sql += " " + Operand(Expression());
        if (!IsWord(Cur(), "WHEN")) Fail();
        while (AcceptWord("WHEN")) {
            sql += " WHEN " + Expression().sql;
            ExpectWord("THEN");
            sql += " THEN " + Expression().sql;
        }
        if (AcceptWord("ELSE")) sql += " ELSE " + Expression().sql;
        ExpectWord("END");
        return Atom(sql + " END");
    }

    Expr ColumnOrFunction() {
        const Token& t = Cur();
        if (t.type == TokenType::Word && IsSymbol(Ahead(1), "(")) return Function();
        ColumnRef ref;
        ref.column = Name();
        std::string sql = QuoteIdentifier(ref.column);
        if (AcceptSymbol(".")) {
            ref.qualifier = ref.column;
            ref.column = Name();
            sql += "." + QuoteIdentifier(ref.column);
        }
        Expr e = Atom(std::move(sql));
        e.kind = ItemKind::Column;
        e.hasColumn = true;
        e.column = std::move(ref);
        return e;
    }

    Expr Function() {
        const Level level(*this);
        const std::string written = Cur().text;
        const std::string name = UpperAscii(written);
        Next();
        ExpectSymbol("(");
        if (name == "POSITION") {
            const Expr needle = Expression(true);
            if (!AcceptWord("IN")) ExpectSymbol(",");
            const Expr haystack = Expression();
            ExpectSymbol(")");
            return Atom("lce_position(" + needle.sql + ", " + haystack.sql + ")");
        }
        if (name == "SUBSTRING") {
            const Expr value = Expression();
            std::string sql = "substr(" + value.sql;
            if (AcceptWord("FROM")) {
                sql += ", " + Expression().sql;
                if (AcceptWord("FOR")) sql += ", " + Expression().sql;
            } else {
                while (AcceptSymbol(",")) sql += ", " + Expression().sql;
            }
            ExpectSymbol(")");
            return Atom(sql + ")");
        }
        if (name == "CAST") {
            const Expr value = Expression();
            ExpectWord("AS");
            const std::string type = CastType();
            ExpectSymbol(")");
            return Atom("CAST(" + value.sql + " AS " + type + ")");
        }
        const bool aggregate = name == "SUM" || name == "COUNT" || name == "MIN" || name == "MAX" || name == "AVG";
        std::string args;
        std::size_t count = 0;
        Expr single;
        if (name == "COUNT" && IsSymbol(Cur(), "*")) {
            Next();
            args = "*";
        } else if (!IsSymbol(Cur(), ")")) {
            if (aggregate && AcceptWord("DISTINCT")) args = "DISTINCT ";
            do {
                if (count > 0) args += ", ";
                single = Expression();
                args += single.sql;
                ++count;
            } while (AcceptSymbol(","));
        }
        ExpectSymbol(")");
        Expr e = Atom(SqliteFunctionName(name, written) + "(" + args + ")");
        if (aggregate && (count <= 1)) {
            e.kind = name == "SUM"     ? ItemKind::Sum
                     : name == "COUNT" ? ItemKind::Count
                     : name == "MIN"   ? ItemKind::Min
                     : name == "MAX"   ? ItemKind::Max
                                       : ItemKind::Avg;
            if (count == 1 && single.kind == ItemKind::Column) {
                e.hasColumn = true;
                e.column = single.column;
            }
        }
        return e;
    }

    static std::string SqliteFunctionName(const std::string& upper, const std::string& written) {
        if (upper == "UCASE") return "upper";
        if (upper == "LCASE") return "lower";
        if (upper == "LEN" || upper == "CHAR_LENGTH" || upper == "CHARACTER_LENGTH") return "length";
        if (upper == "SUM" || upper == "COUNT" || upper == "MIN" || upper == "MAX" || upper == "AVG") {
            return upper;
        }
        return written;
    }

    // The dialect's type names mapped to SQLite's storage classes.
    std::string CastType() {
        const std::string type = UpperAscii(Name());
        if (AcceptSymbol("(")) {  // a length and decimals do not matter to SQLite
            do {
                if (Cur().type != TokenType::Number) Fail();
                Next();
            } while (AcceptSymbol(","));
            ExpectSymbol(")");
        }
        static constexpr std::string_view kInteger[] = {"INT",     "INTEGER",      "SQL_INTEGER", "SMALLINT",
                                                        "SHORT",   "SQL_SMALLINT", "BIGINT",      "SQL_BIGINT",
                                                        "LOGICAL", "SQL_BIT",      "AUTOINC"};
        static constexpr std::string_view kReal[] = {"DOUBLE",    "FLOAT",    "REAL",     "SQL_DOUBLE",
                                                     "SQL_FLOAT", "SQL_REAL", "CURDOUBLE"};
        static constexpr std::string_view kText[] = {"CHAR", "VARCHAR",   "CICHAR", "SQL_CHAR", "SQL_VARCHAR",
                                                     "MEMO", "CHARACTER", "NCHAR",  "NVARCHAR", "SQL_LONGVARCHAR"};
        for (const std::string_view t : kInteger) {
            if (type == t) return "INTEGER";
        }
        for (const std::string_view t : kReal) {
            if (type == t) return "REAL";
        }
        for (const std::string_view t : kText) {
            if (type == t) return "TEXT";
        }
        return "NUMERIC";
    }

    // Which outer sources may hold each select-list column.
    void ResolveCandidates() {
        std::vector<std::pair<std::size_t, std::string>> outer;  // index, upper-case alias
        for (std::size_t i = 0; i < out_.sources.size(); ++i) {
            if (out_.sources[i].outer) outer.emplace_back(i, UpperAscii(out_.sources[i].alias));
        }
        const auto candidates = [&](const ColumnRef& column) {
            std::vector<std::size_t> found;
            const std::string qualifier = UpperAscii(column.qualifier);
            for (const auto& [index, alias] : outer) {
                if (qualifier.empty() || alias == qualifier) found.push_back(index);
            }
            return found;
        };
        for (SelectItem& item : out_.columns) {
            if (item.hasColumn) item.candidates = candidates(item.column);
        }
        if (out_.split) out_.split->candidates = candidates(out_.split->column);
    }

    const std::vector<Token>& tokens_;
    const ResolvedTables* resolved_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;  // levels of nesting open (see Level)
    bool sawCore_ = false;
    std::set<std::string> tableKeys_;  // upper-case names of out_.tables
    Translation out_;
};

}  // namespace

Translation ParseStatement(const std::vector<Token>& tokens, const ResolvedTables* resolved) {
    return Parser(tokens, resolved).Run();
}

}  // namespace lce::sql

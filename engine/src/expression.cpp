// The expression language: tokenizer, parser, the two printed forms and the
// translation into SQLite conditions. Literals never reach the SQL text: each
// becomes a bound parameter, and field names become quoted column names
// taken from the table, so no input can change the shape of the statement.
#include "engine/src/expression.h"

#include <cctype>
#include <cmath>

#include "engine/src/error.h"
#include "engine/src/text.h"

namespace lce::expr {

namespace {

// ---- tokens ------------------------------------------------------------------

enum class Tok : std::uint8_t { Name, Field, Text, Number, True, False, And, Or, Not, Open, Close, Comma, Op, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    char quote = '\'';
    std::size_t at = 0;  // position in the expression, from 1 in messages
};

[[noreturn]] void bad(const std::string& what) { fail(kErrExpression, "Invalid expression: " + what); }

std::string where(std::size_t at) { return " at position " + std::to_string(at + 1); }

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

class Lexer {
public:
    explicit Lexer(std::string_view text) : s_(text) {}

    Token next() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
        Token t;
        t.at = i_;
        if (i_ >= s_.size()) return t;
        const char c = s_[i_];
        if (c == '\'' || c == '"') return quoted(t, c, c, Tok::Text, "text");
        if (c == '[') return quoted(t, '[', ']', Tok::Field, "field name");
        if (c == '.' && i_ + 1 < s_.size() && isNameStart(s_[i_ + 1])) return dotted(t);
        if (isDigit(c) || (c == '.' && i_ + 1 < s_.size() && isDigit(s_[i_ + 1]))) return number(t);
        if (isNameStart(c)) return name(t);
        return symbol(t, c);
    }

private:
    Token quoted(Token& t, char open, char close, Tok kind, const char* what) {
        const std::size_t end = s_.find(close, i_ + 1);
        if (end == std::string_view::npos) bad(std::string("the ") + what + " starting" + where(i_) + " is not closed");
        t.kind = kind;
        t.quote = open;
        t.text = std::string(s_.substr(i_ + 1, end - i_ - 1));
        if (kind == Tok::Field && trimBlanks(t.text).empty()) bad("empty field name" + where(i_));
        i_ = end + 1;
        return t;
    }

    // .T. .F. .TRUE. .FALSE. .AND. .OR. .NOT.
    Token dotted(Token& t) {
        std::size_t j = i_ + 1;
        while (j < s_.size() && isNameChar(s_[j])) ++j;
        const std::string word = upper(s_.substr(i_ + 1, j - i_ - 1));
        if (j >= s_.size() || s_[j] != '.') bad("unknown word ." + word + where(i_));
        if (word == "T" || word == "TRUE" || word == "Y") {
            t.kind = Tok::True;
        } else if (word == "F" || word == "FALSE" || word == "N") {
            t.kind = Tok::False;
        } else if (word == "AND") {
            t.kind = Tok::And;
        } else if (word == "OR") {
            t.kind = Tok::Or;
        } else if (word == "NOT") {
            t.kind = Tok::Not;
        } else {
            bad("unknown word ." + word + "." + where(i_));
        }
        i_ = j + 1;
        return t;
    }

    Token number(Token& t) {
        std::size_t j = i_;
        while (j < s_.size() && isDigit(s_[j])) ++j;
        // A point followed by a letter opens a dotted word (1.AND.x), not a fraction.
        if (j < s_.size() && s_[j] == '.' && !(j + 1 < s_.size() && isNameStart(s_[j + 1]))) {
            ++j;
            while (j < s_.size() && isDigit(s_[j])) ++j;
        }
        // An exponent: E, an optional sign, digits.
        if (j < s_.size() && (s_[j] == 'e' || s_[j] == 'E')) {
            std::size_t k = j + 1;
            if (k < s_.size() && (s_[k] == '+' || s_[k] == '-')) ++k;
            if (k < s_.size() && isDigit(s_[k])) {
                j = k;
                while (j < s_.size() && isDigit(s_[j])) ++j;
            }
        }
        if (j < s_.size() && isNameChar(s_[j])) bad("a number runs into a name" + where(j));
        t.kind = Tok::Number;
        t.text = std::string(s_.substr(i_, j - i_));
        i_ = j;
        return t;
    }

    Token name(Token& t) {
        std::size_t j = i_;
        while (j < s_.size() && isNameChar(s_[j])) ++j;
        t.text = std::string(s_.substr(i_, j - i_));
        const std::string word = upper(t.text);
        if (word == "AND") {
            t.kind = Tok::And;
        } else if (word == "OR") {
            t.kind = Tok::Or;
        } else if (word == "NOT") {
            t.kind = Tok::Not;
        } else {
            t.kind = Tok::Name;
        }
        i_ = j;
        return t;
    }

    Token symbol(Token& t, char c) {
        const auto two = [&](char second) { return i_ + 1 < s_.size() && s_[i_ + 1] == second; };
        std::size_t len = 1;
        if (c == '(') {
            t.kind = Tok::Open;
        } else if (c == ')') {
            t.kind = Tok::Close;
        } else if (c == ',') {
            t.kind = Tok::Comma;
        } else if (c == '-') {
            t.kind = Tok::Op;
        } else if (c == '=' || c == '#') {
            t.kind = Tok::Op;
            if (c == '=' && two('=')) len = 2;
        } else if (c == '<') {
            t.kind = Tok::Op;
            if (two('=') || two('>')) len = 2;
        } else if (c == '>') {
            t.kind = Tok::Op;
            if (two('=')) len = 2;
        } else if (c == '!') {
            if (two('=')) {
                t.kind = Tok::Op;
                len = 2;
            } else {
                t.kind = Tok::Not;
            }
        } else {
            bad(std::string("unexpected character '") + c + "'" + where(i_));
        }
        t.text = std::string(s_.substr(i_, len));
        i_ += len;
        return t;
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

// ---- parser ------------------------------------------------------------------

bool isComparison(const Token& t) { return t.kind == Tok::Op && t.text != "-"; }

class Parser {
public:
    explicit Parser(std::string_view text) : lex_(text) { advance(); }

    std::unique_ptr<Node> whole() {
        auto n = disjunction();
        if (tok_.kind != Tok::End) bad("unexpected " + describe(tok_) + where(tok_.at));
        return n;
    }

private:
    void advance() { tok_ = lex_.next(); }

    static std::string describe(const Token& t) {
        switch (t.kind) {
            case Tok::End: return "end of the expression";
            case Tok::Text: return "text " + std::string(1, t.quote) + t.text + std::string(1, t.quote);
            case Tok::Field: return "field [" + t.text + "]";
            case Tok::True: return ".T.";
            case Tok::False: return ".F.";
            case Tok::And: return "AND";
            case Tok::Or: return "OR";
            case Tok::Not: return "NOT";
            case Tok::Open: return "\"(\"";
            case Tok::Close: return "\")\"";
            case Tok::Comma: return "\",\"";
            default: return "\"" + t.text + "\"";
        }
    }

    std::unique_ptr<Node> make(Node::Kind kind, std::string text = {}) {
        if (++nodes_ > kMaxNodes)
            bad("more than " + std::to_string(kMaxNodes) + " terms; split it into smaller expressions");
        auto n = std::make_unique<Node>();
        n->kind = kind;
        n->text = std::move(text);
        return n;
    }

    // Guards every rule that can nest: parentheses, NOT and calls.
    struct Depth {
        explicit Depth(int& d) : d_(d) {
            if (++d_ > kMaxDepth) bad("nested more than " + std::to_string(kMaxDepth) + " levels deep");
        }
        ~Depth() { --d_; }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;
        int& d_;
    };

    std::unique_ptr<Node> disjunction() {
        auto left = conjunction();
        if (tok_.kind != Tok::Or) return left;
        auto n = make(Node::Kind::Or);
        n->args.push_back(std::move(left));
        while (tok_.kind == Tok::Or) {
            advance();
            n->args.push_back(conjunction());
        }
        return n;
    }

    std::unique_ptr<Node> conjunction() {
        auto left = negation();
        if (tok_.kind != Tok::And) return left;
        auto n = make(Node::Kind::And);
        n->args.push_back(std::move(left));
        while (tok_.kind == Tok::And) {
            advance();
            n->args.push_back(negation());
        }
        return n;
    }

    std::unique_ptr<Node> negation() {
        if (tok_.kind != Tok::Not) return comparison();
        Depth guard(depth_);
        advance();
        auto n = make(Node::Kind::Not);
        n->args.push_back(negation());
        return n;
    }

    std::unique_ptr<Node> comparison() {
        auto left = operand();
        if (!isComparison(tok_)) return left;
        auto n = make(Node::Kind::Compare, tok_.text == "!=" ? std::string("<>") : tok_.text);
        advance();
        n->args.push_back(std::move(left));
        n->args.push_back(operand());
        if (isComparison(tok_)) bad("comparisons cannot be chained" + where(tok_.at) + "; join them with AND");
        return n;
    }

    std::unique_ptr<Node> operand() {
        Token t = tok_;
        switch (t.kind) {
            case Tok::Text: {
                advance();
                auto n = make(Node::Kind::Text, t.text);
                n->quote = t.quote;
                return n;
            }
            case Tok::Number: advance(); return make(Node::Kind::Number, t.text);
            case Tok::Op:
                if (t.text == "-") {
                    advance();
                    if (tok_.kind != Tok::Number) bad("a number must follow \"-\"" + where(t.at));
                    auto n = make(Node::Kind::Number, "-" + tok_.text);
                    advance();
                    return n;
                }
                break;
            case Tok::True:
            case Tok::False: {
                advance();
                auto n = make(Node::Kind::Logical);
                n->truth = t.kind == Tok::True;
                return n;
            }
            case Tok::Field: {
                advance();
                auto n = make(Node::Kind::Field, t.text);
                n->bracketed = true;
                return n;
            }
            case Tok::Name:
                advance();
                if (tok_.kind == Tok::Open) return call(t);
                return make(Node::Kind::Field, t.text);
            case Tok::Open: {
                Depth guard(depth_);
                advance();
                auto n = make(Node::Kind::Group);
                n->args.push_back(disjunction());
                expect(Tok::Close, "\")\" to close the \"(\"" + where(t.at));
                return n;
            }
            default: break;
        }
        bad("expected a field, a value or \"(\" but found " + describe(t) + where(t.at));
    }

    std::unique_ptr<Node> call(const Token& name) {
        Depth guard(depth_);
        advance();  // "("
        auto n = make(Node::Kind::Call, name.text);
        if (tok_.kind != Tok::Close) {
            n->args.push_back(disjunction());
            while (tok_.kind == Tok::Comma) {
                advance();
                n->args.push_back(disjunction());
            }
        }
        expect(Tok::Close, "\")\" to close the call of " + name.text + where(name.at));
        return n;
    }

    void expect(Tok kind, const std::string& what) {
        if (tok_.kind != kind) bad("expected " + what + " but found " + describe(tok_) + where(tok_.at));
        advance();
    }

    Lexer lex_;
    Token tok_;
    int depth_ = 0;
    std::size_t nodes_ = 0;
};

// ---- printing ------------------------------------------------------------------

bool plainName(const std::string& name) {
    if (name.empty() || !isNameStart(name[0])) return false;
    for (char c : name)
        if (!isNameChar(c)) return false;
    const std::string word = upper(name);
    return word != "AND" && word != "OR" && word != "NOT";
}

void print(const Node& n, bool longForm, std::string& out) {
    using K = Node::Kind;
    switch (n.kind) {
        case K::Field:
            if (n.bracketed || !plainName(n.text))
                out += "[" + n.text + "]";
            else
                out += n.text;
            return;
        case K::Text: out += n.quote + n.text + (n.quote == '[' ? ']' : n.quote); return;
        case K::Number: out += n.text; return;
        case K::Logical: out += longForm ? (n.truth ? ".TRUE." : ".FALSE.") : (n.truth ? ".T." : ".F."); return;
        case K::Compare:
            print(*n.args[0], longForm, out);
            out += longForm ? " " + n.text + " " : n.text;
            print(*n.args[1], longForm, out);
            return;
        case K::And:
        case K::Or: {
            const char* join = n.kind == K::And ? (longForm ? " AND " : " .AND. ") : (longForm ? " OR " : " .OR. ");
            for (std::size_t i = 0; i < n.args.size(); ++i) {
                if (i > 0) out += join;
                print(*n.args[i], longForm, out);
            }
            return;
        }
        case K::Not:
            out += longForm ? "NOT " : ".NOT. ";
            print(*n.args[0], longForm, out);
            return;
        case K::Call:
            out += n.text + "(";
            for (std::size_t i = 0; i < n.args.size(); ++i) {
                if (i > 0) out += longForm ? ", " : ",";
                print(*n.args[i], longForm, out);
            }
            out += ")";
            return;
        case K::Group:
            out += "(";
            print(*n.args[0], longForm, out);
            out += ")";
            return;
    }
}

// ---- translation -----------------------------------------------------------------

enum class Type : std::uint8_t { Text, Number, Date, Timestamp, Time, Logical, Blob, Condition };

const char* typeName(Type t) {
    switch (t) {
        case Type::Text: return "text";
        case Type::Number: return "number";
        case Type::Date: return "date";
        case Type::Timestamp: return "timestamp";
        case Type::Time: return "time";
        case Type::Logical: return "logical";
        case Type::Blob: return "binary";
        default: return "condition";
    }
}

struct Part {
    std::string sql;
    Type type = Type::Condition;
    bool caseless = false;  // a case-insensitive character column
    bool literal = false;   // a bound text literal (its parameter may be trimmed)
};

constexpr std::int64_t kMsPerDay = 86400000;

std::optional<int> digits(std::string_view s) {
    if (s.empty() || s.size() > 4) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (!isDigit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<std::int64_t> julianOf(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
    const std::int64_t j = julianFromDate(y, m, d);
    int yy = 0, mm = 0, dd = 0;
    dateFromJulian(j, yy, mm, dd);
    if (yy != y || mm != m || dd != d) return std::nullopt;
    return j;
}

// MM/DD/YYYY (also with "-", and DD/MM/YYYY where the first number is no
// month), DD.MM.YYYY, YYYY-MM-DD (any of the three separators after a
// four-digit year) or YYYYMMDD; a two-digit year is 1950 to 2049; blanks
// (and "  /  /    ") are the empty date, 0.
std::optional<std::int64_t> parseDate(std::string_view s) {
    s = trimBlanks(s);
    if (s.find_first_not_of(" /-.") == std::string_view::npos) return 0;
    if (s.size() == 8 && s.find_first_not_of("0123456789") == std::string_view::npos)
        return julianOf(*digits(s.substr(0, 4)), *digits(s.substr(4, 2)), *digits(s.substr(6, 2)));
    const std::size_t a = s.find_first_of("/-.");
    if (a == std::string_view::npos) return std::nullopt;
    const char sep = s[a];
    const std::size_t b = s.find(sep, a + 1);
    if (b == std::string_view::npos) return std::nullopt;
    const std::string_view first = trimBlanks(s.substr(0, a));
    const auto p1 = digits(first), p2 = digits(trimBlanks(s.substr(a + 1, b - a - 1))),
               p3 = digits(trimBlanks(s.substr(b + 1)));
    if (!p1 || !p2 || !p3) return std::nullopt;
    if (first.size() == 4) return julianOf(*p1, *p2, *p3);
    // A year of two digits lies within fifty years of 2000.
    const int year = trimBlanks(s.substr(b + 1)).size() <= 2 ? (*p3 < 50 ? 2000 + *p3 : 1900 + *p3) : *p3;
    if (sep == '.') return julianOf(year, *p2, *p1);
    // Month first, else day first where the first number cannot be a month.
    if (const auto j = julianOf(year, *p1, *p2)) return j;
    return julianOf(year, *p2, *p1);
}

// HH:MM[:SS[.fff]] with an optional AM or PM; milliseconds since midnight.
std::optional<std::int64_t> parseTime(std::string_view s) {
    s = trimBlanks(s);
    int shift = -1;
    const std::string u = upper(s);
    if (u.ends_with("AM") || u.ends_with("PM")) {
        shift = u.ends_with("PM") ? 12 : 0;
        s = trimBlanks(s.substr(0, s.size() - 2));
    }
    int ms = 0;
    const std::size_t dot = s.find('.');
    if (dot != std::string_view::npos) {
        const std::string_view frac = s.substr(dot + 1);
        const auto f = digits(frac);
        if (!f || frac.size() > 3) return std::nullopt;
        ms = *f * (frac.size() == 1 ? 100 : frac.size() == 2 ? 10 : 1);
        s = s.substr(0, dot);
    }
    std::vector<int> parts;
    while (parts.size() < 4) {
        const std::size_t colon = s.find(':');
        const std::string_view part = s.substr(0, colon);
        const auto v = digits(part);
        if (!v || part.size() > 2) return std::nullopt;
        parts.push_back(*v);
        if (colon == std::string_view::npos) break;
        s = s.substr(colon + 1);
    }
    if (parts.size() < 2 || parts.size() > 3 || (dot != std::string_view::npos && parts.size() != 3))
        return std::nullopt;
    int h = parts[0];
    const int m = parts[1], sec = parts.size() == 3 ? parts[2] : 0;
    if (shift >= 0) {
        if (h < 1 || h > 12) return std::nullopt;
        h = h % 12 + shift;
    }
    if (h > 23 || m > 59 || sec > 59) return std::nullopt;
    return ((static_cast<std::int64_t>(h) * 60 + m) * 60 + sec) * 1000 + ms;
}

std::string quoteColumn(const std::string& name) {
    std::string q = "records.\"";
    for (char c : name) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

Type typeOfColumn(std::uint16_t t) {
    switch (t) {
        case kLogical: return Type::Logical;
        case kNumeric:
        case kDouble:
        case kCurrencyDouble:
        case kInteger:
        case kShortInteger:
        case kAutoIncrement:
        case kLongInteger:
        case kMoney: return Type::Number;
        case kDate:
        case kCompactDate: return Type::Date;
        case kCharacter:
        case kCiCharacter:
        case kVarChar:
        case kMemo:
        case kVarMemo: return Type::Text;
        case kTime: return Type::Time;
        case kTimestamp:
        case kModTime: return Type::Timestamp;
        default: return Type::Blob;
    }
}

class Translator {
public:
    Translator(const ColumnLookup& columns, bool exact, int firstParam)
        : columns_(columns), exact_(exact), first_(firstParam) {}

    Compiled run(const Node& n) {
        Part p = condition(n);
        return {std::move(p.sql), std::move(params_)};
    }

    Part value(const Node& n) {
        using K = Node::Kind;
        switch (n.kind) {
            case K::Field: return field(n);
            case K::Text: return {bind(Value::ofText(n.text)), Type::Text, false, true};
            case K::Number: {
                const auto d = parseDouble(n.text);
                if (!d || !std::isfinite(*d)) bad("the number " + n.text + " cannot be read");
                if (*d == std::nearbyint(*d) && std::fabs(*d) < 9.0e15)
                    return {bind(Value::ofInteger(static_cast<std::int64_t>(*d))), Type::Number};
                return {bind(Value::ofDouble(*d)), Type::Number};
            }
            case K::Logical: return {n.truth ? "1" : "0", Type::Logical};
            case K::Call: return call(n);
            case K::Group: {
                Part inner = value(*n.args[0]);
                inner.sql = "(" + inner.sql + ")";
                inner.literal = false;
                return inner;
            }
            default: return condition(n);
        }
    }

    Part condition(const Node& n) {
        using K = Node::Kind;
        switch (n.kind) {
            case K::And:
            case K::Or: {
                std::string sql = "(";
                for (std::size_t i = 0; i < n.args.size(); ++i) {
                    if (i > 0) sql += n.kind == K::And ? " AND " : " OR ";
                    sql += condition(*n.args[i]).sql;
                }
                return {sql + ")", Type::Condition};
            }
            case K::Not: return {"(NOT coalesce(" + condition(*n.args[0]).sql + ", 0))", Type::Condition};
            case K::Compare: return compare(n);
            default: {
                Part p = value(n);
                if (p.type == Type::Logical) return {"(" + p.sql + " = 1)", Type::Condition};
                if (p.type != Type::Condition)
                    bad("a " + std::string(typeName(p.type)) + " value stands where a condition is expected");
                return p;
            }
        }
    }

private:
    std::string bind(Value v) {
        params_.push_back(std::move(v));
        return "?" + std::to_string(first_ + static_cast<int>(params_.size()) - 1);
    }

    // The text of a literal's parameter, for rewriting it (trimmed, upper case).
    Value& paramOf(const Part& p) { return params_.at(static_cast<std::size_t>(std::stoi(p.sql.substr(1)) - first_)); }

    Part field(const Node& n) {
        const auto c = columns_(n.text);
        if (!c) fail(kErrFieldNotFound, "Invalid expression: the table has no field " + n.text);
        const std::string col = quoteColumn(c->name);
        const Type t = typeOfColumn(c->type);
        if (c->type == kMoney) return {"(" + col + " / 10000.0)", t};
        return {col, t, c->type == kCiCharacter};
    }

    Part onlyArgument(const Node& n) {
        if (n.args.size() != 1) bad(n.text + " takes one argument");
        return value(*n.args[0]);
    }

    // The literal text argument of ctod, ctot and ctots.
    const std::string& literalArgument(const Node& n) {
        if (n.args.size() != 1 || n.args[0]->kind != Node::Kind::Text)
            bad(n.text + " takes one quoted value, as in " + n.text + "('01/31/2020')");
        return n.args[0]->text;
    }

    Part call(const Node& n) {
        const std::string f = upper(n.text);
        if (f == "UPPER" || f == "LOWER" || f == "TRIM" || f == "RTRIM" || f == "LTRIM" || f == "ALLTRIM") {
            Part a = onlyArgument(n);
            if (a.type != Type::Text) bad(n.text + " needs a text argument, not a " + typeName(a.type));
            const char* fn = f == "UPPER"     ? "upper"
                             : f == "LOWER"   ? "lower"
                             : f == "LTRIM"   ? "ltrim"
                             : f == "ALLTRIM" ? "trim"
                                              : "rtrim";
            return {std::string(fn) + "(" + a.sql + ")", Type::Text, a.caseless && f != "UPPER" && f != "LOWER"};
        }
        if (f == "CTOD") {
            const std::string& s = literalArgument(n);
            const auto j = parseDate(s);
            if (!j) bad("'" + s + "' is not a date; write it as MM/DD/YYYY");
            return {bind(Value::ofInteger(*j)), Type::Date};
        }
        if (f == "CTOT") {
            const std::string& s = literalArgument(n);
            const auto ms = parseTime(s);
            if (!ms) bad("'" + s + "' is not a time; write it as HH:MM:SS");
            return {bind(Value::ofInteger(*ms)), Type::Time};
        }
        if (f == "CTOTS") return timestamp(literalArgument(n));
        if (f == "EMPTY") return empty(onlyArgument(n));
        if (f == "CONTAINS") return contains(n);
        bad("unknown function " + n.text);
    }

    Part timestamp(const std::string& s) {
        const std::string_view all = trimBlanks(s);
        const std::size_t space = all.find(' ');
        const auto day = parseDate(all.substr(0, space));
        const auto time =
            space == std::string_view::npos ? std::optional<std::int64_t>(0) : parseTime(all.substr(space));
        if (!day || !time) bad("'" + s + "' is not a timestamp; write it as MM/DD/YYYY HH:MM:SS");
        if (*day == 0) return {bind(Value::ofInteger(0)), Type::Timestamp};
        return {bind(Value::ofInteger(*day * kMsPerDay + *time)), Type::Timestamp};
    }

    static Part empty(const Part& a) {
        switch (a.type) {
            case Type::Text: return {"(coalesce(rtrim(" + a.sql + "), '') = '')", Type::Condition};
            case Type::Blob: return {"(" + a.sql + " IS NULL OR length(" + a.sql + ") = 0)", Type::Condition};
            case Type::Condition: bad("empty() needs a value, not a condition");
            default: return {"(coalesce(" + a.sql + ", 0) = 0)", Type::Condition};
        }
    }

    // CONTAINS(field, 'words'): every word occurs in the field, ignoring
    // case; a "*" at either end of a word stands for any characters.
    Part contains(const Node& n) {
        if (n.args.size() != 2 || n.args[1]->kind != Node::Kind::Text)
            bad("CONTAINS takes a field and a quoted search text, as in CONTAINS(Notes, 'word')");
        const Part target = value(*n.args[0]);
        if (target.type != Type::Text) bad("CONTAINS needs a text field, not a " + std::string(typeName(target.type)));
        std::string sql;
        std::string_view rest = n.args[1]->text;
        while (!rest.empty()) {
            const std::size_t start = rest.find_first_not_of(" \t");
            if (start == std::string_view::npos) break;
            const std::size_t end = rest.find_first_of(" \t", start);
            std::string_view word = rest.substr(start, end == std::string_view::npos ? end : end - start);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
            while (!word.empty() && word.front() == '*') word.remove_prefix(1);
            while (!word.empty() && word.back() == '*') word.remove_suffix(1);
            if (word.empty()) continue;
            if (!sql.empty()) sql += " AND ";
            sql += "instr(upper(coalesce(" + target.sql + ", '')), " + bind(Value::ofText(upper(word))) + ") > 0";
        }
        if (sql.empty()) bad("CONTAINS needs at least one word to search for");
        return {"(" + sql + ")", Type::Condition};
    }

    Part compare(const Node& n) {
        Part l = value(*n.args[0]), r = value(*n.args[1]);
        if (l.type == Type::Condition || r.type == Type::Condition)
            bad("a condition cannot be compared with " + n.text + "; put it in parentheses with AND or OR");
        align(l, r);
        if (l.type != r.type)
            bad(std::string("a ") + typeName(l.type) + " cannot be compared with a " + typeName(r.type));
        if (l.type == Type::Blob) bad("binary fields cannot be compared; use empty()");
        const std::string& op = n.text;
        if (l.type == Type::Text) return compareText(op, l, r);
        if (op == "<>" || op == "#") return differs("(" + l.sql + " = " + r.sql + ")");
        return {"(" + l.sql + " " + (op == "==" ? std::string("=") : op) + " " + r.sql + ")", Type::Condition};
    }

    // Not equal: also where a value is missing (null), which no other value equals.
    static Part differs(const std::string& equal) { return {"(NOT coalesce(" + equal + ", 0))", Type::Condition}; }

    // A date compared with a timestamp compares as a timestamp at midnight.
    static void align(Part& l, Part& r) {
        const auto widen = [](Part& p) {
            p.sql = "(" + p.sql + " * " + std::to_string(kMsPerDay) + ")";
            p.type = Type::Timestamp;
        };
        if (l.type == Type::Date && r.type == Type::Timestamp) widen(l);
        if (r.type == Type::Date && l.type == Type::Timestamp) widen(r);
    }

    Part compareText(const std::string& op, Part& l, Part& r) {
        // Character columns hold their values without trailing blanks, so
        // literals are compared the same way.
        for (Part* p : {&l, &r})
            if (p->literal) paramOf(*p).text = std::string(trimTrailingBlanks(paramOf(*p).text));
        if (l.caseless || r.caseless) {
            l.sql = "upper(" + l.sql + ")";
            r.sql = "upper(" + r.sql + ")";
        }
        const bool unequal = op == "<>" || op == "#";
        if (op == "=" || unequal) {
            // Exact matching off: "=" holds when the left value begins with the right one.
            const std::string eq = exact_ ? "(" + l.sql + " = " + r.sql + ")"
                                          : "(substr(" + l.sql + ", 1, length(" + r.sql + ")) = " + r.sql + ")";
            return unequal ? differs(eq) : Part{eq, Type::Condition};
        }
        return {"(" + l.sql + " " + (op == "==" ? std::string("=") : op) + " " + r.sql + ")", Type::Condition};
    }

    const ColumnLookup& columns_;
    bool exact_;
    int first_;
    std::vector<Value> params_;
};

void visitFields(const Node& n, const ColumnLookup& columns) {
    if (n.kind == Node::Kind::Field && !columns(n.text))
        fail(kErrFieldNotFound, "Invalid expression: the table has no field " + n.text);
    for (const auto& a : n.args) visitFields(*a, columns);
}

}  // namespace

std::unique_ptr<Node> parse(std::string_view text) {
    if (text.size() > kMaxLength)
        bad("it is longer than " + std::to_string(kMaxLength) + " characters; split it into smaller expressions");
    if (trimBlanks(text).empty()) bad("it is empty");
    return Parser(text).whole();
}

std::string printLong(const Node& node) {
    std::string out;
    print(node, true, out);
    return out;
}

std::string printShort(const Node& node) {
    std::string out;
    print(node, false, out);
    return out;
}

Compiled translate(const Node& node, const ColumnLookup& columns, bool exact, int firstParam) {
    return Translator(columns, exact, firstParam).run(node);
}

void checkFields(const Node& node, const ColumnLookup& columns) { visitFields(node, columns); }

}  // namespace lce::expr

// The engine expression a locate or lookup evaluates on each record when no
// index leads to the key values.
#include "data/lum/locate_expression.h"

namespace lum {

namespace {

std::string BracketedName(const std::string& name) {
    std::string text = "[";
    for (const char c : name) {
        text += c;
        if (c == ']') text += ']';
    }
    return text + "]";
}

// The value as the right-hand side of a comparison of its kind.
std::string Operand(const LocateTerm& term) {
    const std::string& value = *term.Value;
    switch (term.Kind) {
        case LocateValueKind::Text: return QuotedLiteral(value);
        case LocateValueKind::Number: return value;
        case LocateValueKind::Date: return "ctod(" + QuotedLiteral(value) + ")";
        case LocateValueKind::Time: return "ctot(" + QuotedLiteral(value) + ")";
        case LocateValueKind::Timestamp: return "ctots(" + QuotedLiteral(value) + ")";
        case LocateValueKind::Logical: return value == "T" ? ".TRUE." : ".FALSE.";
    }
    return value;
}

std::string Part(const LocateTerm& term, TLocateOptions options) {
    const std::string field = BracketedName(term.Field);
    if (!term.Value) return "(empty(" + field + "))";
    if (term.Kind != LocateValueKind::Text) return field + " == " + Operand(term);
    const std::string op = options.Has(TLocateOption::loPartialKey) ? " = " : " == ";
    if (options.Has(TLocateOption::loCaseInsensitive))
        return "UPPER(" + field + ")" + op + "UPPER(" + Operand(term) + ")";
    return field + op + Operand(term);
}

}  // namespace

std::string QuotedLiteral(const std::string& value) {
    const bool single = value.find('\'') != std::string::npos;
    const bool dbl = value.find('"') != std::string::npos;
    if (!single) return "'" + value + "'";
    if (!dbl) return "\"" + value + "\"";
    std::string text = "'";
    for (const char c : value) {
        text += c;
        if (c == '\'') text += '\'';
    }
    return text + "'";
}

std::string BuildLocateExpression(const std::vector<LocateTerm>& terms, TLocateOptions options) {
    std::string expression;
    for (const LocateTerm& term : terms) {
        if (!expression.empty()) expression += " AND ";
        expression += Part(term, options);
    }
    return expression;
}

}  // namespace lum

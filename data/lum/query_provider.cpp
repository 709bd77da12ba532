// What a query tells a data-provider component: the table it reads, its
// default order from ORDER BY, its parameters, running it and changing its
// text and parameters, and the fields that pair a detail with its master.
#include <cctype>

#include "data/lum/query.h"
#include "framework/dataset/data_source.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

struct SqlToken {
    enum Kind { Word, Name, Symbol } kind;  // Name: a bracketed or double-quoted name
    std::string text;
};

// Words, quoted names and symbols of a statement; literals and comments dropped.
std::vector<SqlToken> Tokens(std::string_view text) {
    std::vector<SqlToken> tokens;
    std::size_t i = 0;
    const auto until = [&](std::string_view close, std::size_t from) {
        const std::size_t end = text.find(close, from);
        return end == std::string_view::npos ? text.size() : end;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            ++i;
        } else if (text.substr(i, 2) == "--") {
            i = until("\n", i);
        } else if (text.substr(i, 2) == "/*") {
            i = std::min(text.size(), until("*/", i + 2) + 2);
        } else if (c == '\'') {
            i = std::min(text.size(), until("'", i + 1) + 1);
            tokens.push_back({SqlToken::Symbol, "'"});  // a literal: it ends a name list
        } else if (c == '[' || c == '"') {
            const std::size_t end = until(c == '[' ? "]" : "\"", i + 1);
            tokens.push_back({SqlToken::Name, std::string(text.substr(i + 1, end - i - 1))});
            i = std::min(text.size(), end + 1);
        } else if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == ':' ||
                   static_cast<unsigned char>(c) > 127) {
            const std::size_t start = i++;
            while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) != 0 || text[i] == '_' ||
                                       static_cast<unsigned char>(text[i]) > 127))
                ++i;
            tokens.push_back({SqlToken::Word, std::string(text.substr(start, i - start))});
        } else {
            tokens.push_back({SqlToken::Symbol, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

bool IsKeyword(const SqlToken& token, std::string_view word) {
    return token.kind == SqlToken::Word && fw::SameText(token.text, word);
}

// A name of dot-joined parts starting at `i`; `i` ends after it.
std::vector<std::string> QualifiedName(const std::vector<SqlToken>& tokens, std::size_t& i) {
    std::vector<std::string> parts;
    while (i < tokens.size() && tokens[i].kind != SqlToken::Symbol) {
        parts.push_back(tokens[i++].text);
        if (i >= tokens.size() || tokens[i].text != ".") break;
        ++i;
    }
    return parts;
}

}  // namespace

std::string TLumQuery::PSGetTableName() const {
    const std::vector<SqlToken> tokens = Tokens(StatementText());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!IsKeyword(tokens[i], "FROM")) continue;
        ++i;
        std::string name;
        for (const std::string& part : QualifiedName(tokens, i)) name += (name.empty() ? "" : ".") + part;
        if (!name.empty() && name.back() == ';') name.pop_back();
        return name;
    }
    return {};
}

TLumQueryOrder TLumQuery::PSGetDefaultOrder() const {
    const std::vector<SqlToken> tokens = Tokens(StatementText());
    TLumQueryOrder order;
    std::size_t i = 0;
    while (i + 1 < tokens.size() && !(IsKeyword(tokens[i], "ORDER") && IsKeyword(tokens[i + 1], "BY"))) ++i;
    i += 2;
    const auto append = [](std::string& list, const std::string& name) { list += (list.empty() ? "" : ";") + name; };
    while (i < tokens.size()) {
        const std::vector<std::string> parts = QualifiedName(tokens, i);
        const bool descending = i < tokens.size() && IsKeyword(tokens[i], "DESC");
        if (i < tokens.size() && (IsKeyword(tokens[i], "DESC") || IsKeyword(tokens[i], "ASC"))) ++i;
        if (!parts.empty() && FindField(parts.back()) != nullptr) {
            append(order.Fields, parts.back());
            if (descending) append(order.DescFields, parts.back());
        }
        if (i >= tokens.size() || tokens[i].text != ",") break;
        ++i;
    }
    return order;
}

void TLumQuery::PSSetCommandText(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (end < text.size() || !line.empty()) lines.push_back(line);
        start = end + 1;
    }
    SetSQL(lines);
}

void TLumQuery::PSSetParams(const TParams& params) {
    if (params.Count() != 0) SetParams(params);
    Close();
}

std::vector<std::pair<fw::TField*, fw::TField*>> TLumQuery::GetDetailLinkFields() const {
    std::vector<std::pair<fw::TField*, fw::TField*>> pairs;
    const fw::TDataSet* master = dataLink_->DataSet();
    if (master == nullptr) return pairs;
    for (std::size_t i = 0; i < params_.Count(); ++i) {
        fw::TField* masterField = master->FindField(params_.Items(i).Name());
        fw::TField* detailField = FindField(params_.Items(i).Name());
        if (masterField != nullptr && detailField != nullptr) pairs.emplace_back(masterField, detailField);
    }
    return pairs;
}

}  // namespace lum

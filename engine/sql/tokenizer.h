// Tokenizer of the practice's SQL dialect (internal to lce_sql).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/translate.h"

namespace lce::sql {

enum class TokenType {
    Word,        // bare word: keyword or identifier
    Identifier,  // [bracketed] or "double-quoted" identifier; text without delimiters
    String,      // 'literal'; text with '' resolved to '
    Number,      // numeric literal as written
    Parameter,   // :name (text = name) or ? (text empty)
    Symbol,      // operator or punctuation
    End,
};

struct Token {
    TokenType type = TokenType::End;
    std::string text;      // value (see TokenType)
    std::string_view raw;  // the token as written in the source
    std::size_t line = 1;  // 1-based
    std::size_t column = 1;
};

// Splits text into tokens, dropping blanks and comments; the last token is End.
// Throws TranslateError for an unterminated literal, identifier or comment and
// for a character that starts no token.
std::vector<Token> Tokenize(std::string_view text);

// Same scan, but stops quietly at the first problem (for parameter scans).
std::vector<Token> TokenizeLenient(std::string_view text);

// The token as written, cut to kMaxQuotedToken bytes ("..." marks a cut).
std::string Excerpt(std::string_view raw);

// How a token is named in an error message.
std::string DescribeToken(const Token& token);

}  // namespace lce::sql

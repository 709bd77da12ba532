// Splits dialect text into tokens in one linear pass, with their line and column.
#include "engine/sql/tokenizer.h"

#include <algorithm>

#include "engine/sql/translate.h"

namespace lce::sql {
namespace {

bool IsWordStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c) || c == '$' || c == '#'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

class Scanner {
public:
    Scanner(std::string_view text, bool lenient) : text_(text), lenient_(lenient) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        while (true) {
            if (!SkipBlanksAndComments()) break;
            if (pos_ >= text_.size()) break;
            Token token;
            if (!Next(token)) break;
            tokens.push_back(std::move(token));
        }
        Token end;
        end.type = TokenType::End;
        end.line = line_;
        end.column = Column();
        end.raw = text_.substr(text_.size());
        tokens.push_back(std::move(end));
        return tokens;
    }

private:
    std::size_t Column() const { return pos_ - lineStart_ + 1; }

    void Advance(std::size_t n = 1) {
        for (std::size_t i = 0; i < n && pos_ < text_.size(); ++i) {
            if (text_[pos_] == '\n') {
                ++line_;
                lineStart_ = pos_ + 1;
            }
            ++pos_;
        }
    }

    char Peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

    // Returns false when scanning must stop (lenient mode after an error).
    bool Fail(const std::string& what, std::size_t start) {
        if (lenient_) return false;
        std::size_t line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < start; ++i) {
            if (text_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        const std::string raw(text_.substr(start, std::min<std::size_t>(20, text_.size() - start)));
        throw TranslateError(kNativeSyntaxError,
                             what + " near \"" + raw + "\" (line " + std::to_string(line) + ", column " +
                                 std::to_string(start - lineStart + 1) + ")",
                             raw);
    }

    bool SkipBlanksAndComments() {
        while (pos_ < text_.size()) {
            const char c = Peek();
            if (IsBlank(c)) {
                Advance();
            } else if (c == '-' && Peek(1) == '-') {
                while (pos_ < text_.size() && Peek() != '\n') Advance();
            } else if (c == '/' && Peek(1) == '*') {
                const std::size_t start = pos_;
                const std::size_t close = text_.find("*/", pos_ + 2);
                if (close == std::string_view::npos) {
                    if (!Fail("unterminated comment", start)) return false;
                }
                Advance(close + 2 - pos_);
            } else {
                break;
            }
        }
        return true;
    }

    bool Next(Token& token) {
        const std::size_t start = pos_;
        token.line = line_;
        token.column = Column();
        const char c = Peek();
        if (IsWordStart(c)) {
            while (pos_ < text_.size() && IsWordChar(Peek())) Advance();
            token.type = TokenType::Word;
            token.text = std::string(text_.substr(start, pos_ - start));
        } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
            ScanNumber();
            token.type = TokenType::Number;
            token.text = std::string(text_.substr(start, pos_ - start));
        } else if (c == '\'') {
            if (!ScanQuoted('\'', token.text, "unterminated string literal", start)) return false;
            token.type = TokenType::String;
        } else if (c == '"') {
            if (!ScanQuoted('"', token.text, "unterminated quoted identifier", start)) return false;
            token.type = TokenType::Identifier;
        } else if (c == '[') {
            const std::size_t close = text_.find(']', pos_ + 1);
            if (close == std::string_view::npos) {
                return Fail("unterminated bracketed identifier", start);
            }
            token.type = TokenType::Identifier;
            token.text = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
            Advance(close + 1 - pos_);
        } else if (c == ':' && IsWordChar(Peek(1))) {
            Advance();
            while (pos_ < text_.size() && IsWordChar(Peek())) Advance();
            token.type = TokenType::Parameter;
            token.text = std::string(text_.substr(start + 1, pos_ - start - 1));
        } else if (c == '?') {
            Advance();
            token.type = TokenType::Parameter;
        } else {
            static constexpr std::string_view kTwo[] = {"<>", "<=", ">=", "!=", "||"};
            token.type = TokenType::Symbol;
            for (const std::string_view two : kTwo) {
                if (text_.substr(pos_, 2) == two) {
                    Advance(2);
                    token.text = std::string(two);
                    break;
                }
            }
            if (token.text.empty()) {
                static constexpr std::string_view kOne = "=<>+-*/%(),.;";
                if (kOne.find(c) == std::string_view::npos) {
                    return Fail("unexpected character", start);
                }
                Advance();
                token.text = std::string(1, c);
            }
        }
        token.raw = text_.substr(start, pos_ - start);
        return true;
    }

    void ScanNumber() {
        while (IsDigit(Peek())) Advance();
        if (Peek() == '.') {
            Advance();
            while (IsDigit(Peek())) Advance();
        }
        if ((Peek() == 'e' || Peek() == 'E') &&
            (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
            Advance(2);
            while (IsDigit(Peek())) Advance();
        }
    }

    // A literal delimited by quote, where a doubled quote stands for one.
    bool ScanQuoted(char quote, std::string& out, const char* what, std::size_t start) {
        Advance();
        while (true) {
            if (pos_ >= text_.size()) return Fail(what, start);
            const char c = Peek();
            if (c == quote) {
                if (Peek(1) == quote) {
                    out.push_back(quote);
                    Advance(2);
                    continue;
                }
                Advance();
                return true;
            }
            out.push_back(c);
            Advance();
        }
    }

    std::string_view text_;
    bool lenient_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t lineStart_ = 0;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) { return Scanner(text, false).Run(); }

std::vector<Token> TokenizeLenient(std::string_view text) { return Scanner(text, true).Run(); }

std::string Excerpt(std::string_view raw) {
    if (raw.size() <= kMaxQuotedToken) return std::string(raw);
    return std::string(raw.substr(0, kMaxQuotedToken)) + "...";
}

std::string DescribeToken(const Token& token) {
    if (token.type == TokenType::End) return "end of statement";
    return "\"" + Excerpt(token.raw) + "\" (line " + std::to_string(token.line) + ", column " +
           std::to_string(token.column) + ")";
}

}  // namespace lce::sql

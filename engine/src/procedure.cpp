// Reading a call of one of the engine's system procedures from a statement's
// text, on the dialect's tokens, so quotes and comments read as in any other
// statement.
#include "engine/src/procedure.h"

#include "engine/sql/tokenizer.h"
#include "engine/src/statement.h"
#include "engine/src/text.h"

namespace lce {

namespace {

using sql::Token;
using sql::TokenType;

bool isWord(const Token& token, const char* word) {
    return token.type == TokenType::Word && equalsIgnoringCase(token.text, word);
}
bool isSymbol(const Token& token, const char* symbol) {
    return token.type == TokenType::Symbol && token.text == symbol;
}

struct Known {
    const char* name;
    ProcedureCall::Kind kind;
    std::size_t arguments;
};
constexpr Known kProcedures[] = {{"sp_setapplicationid", ProcedureCall::Kind::SetApplicationId, 1},
                                 {"sp_getapplicationid", ProcedureCall::Kind::GetApplicationId, 0}};

class CallReader {
public:
    CallReader(const std::string& sql, std::vector<Token> tokens) : sql_(sql), tokens_(std::move(tokens)) {}

    ProcedureCall read() {
        next();  // EXECUTE
        if (!isWord(cur(), "PROCEDURE")) syntax("PROCEDURE");
        next();
        if (cur().type != TokenType::Word && cur().type != TokenType::Identifier) syntax("a procedure name");
        const Known& known = lookUp(cur().text);
        next();
        ProcedureCall call;
        call.kind = known.kind;
        if (!isSymbol(cur(), "(")) syntax("\"(\"");
        next();
        if (!isSymbol(cur(), ")")) {
            for (;;) {
                call.arguments.push_back(argument(call));
                if (!isSymbol(cur(), ",")) break;
                next();
            }
        }
        if (!isSymbol(cur(), ")")) syntax("\")\"");
        next();
        if (isSymbol(cur(), ";")) next();
        if (cur().type != TokenType::End) syntax("the end of the statement");
        if (call.arguments.size() != known.arguments)
            failSql(sql::kNativeSyntaxError,
                    std::string(known.name) + " takes " + std::to_string(known.arguments) + " argument" +
                        (known.arguments == 1 ? "" : "s") + ", not " + std::to_string(call.arguments.size()),
                    sql_);
        return call;
    }

private:
    const Token& cur() const { return tokens_[pos_]; }
    void next() {
        if (pos_ + 1 < tokens_.size()) ++pos_;
    }

    [[noreturn]] void syntax(const char* expected) const {
        failSql(sql::kNativeSyntaxError,
                std::string("syntax error: expected ") + expected + " near " + sql::DescribeToken(cur()) +
                    " in a procedure call (EXECUTE PROCEDURE name(arguments))",
                sql_);
    }

    const Known& lookUp(const std::string& name) const {
        for (const Known& known : kProcedures)
            if (equalsIgnoringCase(name, known.name)) return known;
        failSql(sql::kNativeUnsupported,
                "unknown procedure " + sql::DescribeToken(cur()) +
                    "; this engine provides only sp_setapplicationid and sp_getapplicationid",
                sql_);
    }

    ProcedureCall::Argument argument(ProcedureCall& call) {
        ProcedureCall::Argument arg;
        if (cur().type == TokenType::Parameter) {
            arg.isParameter = true;
            arg.parameter = call.parameterNames.size();
            call.parameterNames.push_back(cur().text);
        } else if (cur().type == TokenType::String || cur().type == TokenType::Number) {
            arg.literal = cur().text;
        } else {
            syntax("a parameter or a literal");
        }
        next();
        return arg;
    }

    const std::string& sql_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<ProcedureCall> parseProcedureCall(const std::string& sql) {
    std::vector<Token> tokens;
    try {
        tokens = sql::Tokenize(sql);
    } catch (const sql::TranslateError&) {
        // Not readable as tokens: the translator reports it like any other text.
        return std::nullopt;
    }
    if (!isWord(tokens.front(), "EXECUTE")) return std::nullopt;
    return CallReader(sql, std::move(tokens)).read();
}

}  // namespace lce

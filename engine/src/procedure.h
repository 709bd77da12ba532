// The engine's system procedures, called as EXECUTE PROCEDURE name(arguments):
// sp_setapplicationid(id) gives the connection the id of the application
// working on it; sp_getapplicationid() answers that id as one row with the
// column "ApplicationID". Their arguments are parameter markers or literals.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lce {

// The longest application id a connection keeps.
inline constexpr std::size_t kMaxApplicationId = 300;

struct ProcedureCall {
    enum class Kind { SetApplicationId, GetApplicationId };
    struct Argument {
        bool isParameter = false;
        std::size_t parameter = 0;  // 0-based marker position when isParameter
        std::string literal;        // the literal's text otherwise
    };
    Kind kind = Kind::GetApplicationId;
    std::vector<std::string> parameterNames;  // markers in order, without ':'; "" for '?'
    std::vector<Argument> arguments;
};

// The call a statement text makes, or nullopt when the text does not start
// with EXECUTE. A malformed call, an unknown procedure or a wrong number of
// arguments fails with kErrSql, naming what is wrong.
std::optional<ProcedureCall> parseProcedureCall(const std::string& sql);

}  // namespace lce

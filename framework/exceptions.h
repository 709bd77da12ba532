#pragma once
// Exception classes of the runtime. Every failure the system reports is one of
// these; the message text is what the user sees in the error box.
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace fw {

// Fills "%s" and "%d" placeholders in order with the given, already formatted,
// arguments ("%%" gives "%"). Used to build the fixed messages of the system.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args);

// The application's exception hook. A dataset reading records beyond its
// active one to fill its window hands a failure there, when a hook is
// installed, and its move ends with the records read so far; without a hook
// the failure is raised to the caller. Installed once at start-up.
using ExceptionHook = std::function<void(std::exception_ptr)>;
void SetApplicationExceptionHook(ExceptionHook hook);
const ExceptionHook& ApplicationExceptionHook();

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
};

#define FW_EXCEPTION_CLASS(Name, Base)                                    \
    class Name : public Base {                                            \
    public:                                                               \
        using Base::Base;                                                 \
        const char* ClassName() const noexcept override { return #Name; } \
    }

FW_EXCEPTION_CLASS(EDatabaseError, Exception);
// The silent exception: handlers end with it and nobody is told.
FW_EXCEPTION_CLASS(EAbort, Exception);
FW_EXCEPTION_CLASS(EConvertError, Exception);
FW_EXCEPTION_CLASS(EVariantError, Exception);
FW_EXCEPTION_CLASS(EVariantTypeCastError, EVariantError);
FW_EXCEPTION_CLASS(EOutOfResources, Exception);
FW_EXCEPTION_CLASS(EOverflow, Exception);
FW_EXCEPTION_CLASS(ERegistryException, Exception);
FW_EXCEPTION_CLASS(EPrinter, Exception);

// An operating-system failure with its error code.
class EOSError : public Exception {
public:
    EOSError(std::string message, std::uint32_t errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    const char* ClassName() const noexcept override { return "EOSError"; }
    std::uint32_t ErrorCode;
};

}  // namespace fw

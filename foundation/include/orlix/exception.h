#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace Orlix {

// Root of the foundation's exceptions. The text `what()` returns is composed when the
// exception is made (and again by the two mutators), so a handler that only logs pays for
// nothing more than a string copy.
class FrameworkException : public std::exception {
public:
    FrameworkException(const std::string& file, std::uint32_t line, std::int32_t code);
    FrameworkException(const std::string& file, std::uint32_t line, const std::string& message,
                       std::int32_t code);
    // A non-empty argument is appended to the message after ": ".
    FrameworkException(const std::string& file, std::uint32_t line, const std::string& message,
                       const std::string& argument, std::int32_t code);
    FrameworkException(const FrameworkException&) = default;
    FrameworkException& operator=(const FrameworkException&) = default;
    ~FrameworkException() override;

    const char* what() const noexcept override;
    virtual const char* Name() const noexcept;
    // The run-time type name as the platform's type information spells it.
    virtual const char* ClassName() const noexcept;
    // Throws a copy as a plain FrameworkException (the copy keeps the composed text).
    [[noreturn]] virtual void Rethrow() const;

    const std::string& Message() const noexcept { return message_; }
    std::int32_t Code() const noexcept { return code_; }
    const std::string& File() const noexcept { return file_; }
    std::uint32_t Line() const noexcept { return line_; }
    std::string DisplayText() const { return text_; }

    void SetMessage(const std::string& message);
    // Appends ": argument" (just the argument when the message is empty); an empty argument
    // changes nothing.
    void ExtendMessage(const std::string& argument);

protected:
    // Derived constructors run this again: during the base constructor Name() is still the
    // base's.
    void Compose();

private:
    std::string message_;
    std::int32_t code_ = 0;
    std::string file_;
    std::uint32_t line_ = 0;
    std::string text_;
};

#define ORLIX_DECLARE_EXCEPTION(CLASS)                                                 \
    class CLASS : public FrameworkException {                                          \
    public:                                                                            \
        CLASS(const std::string& file, std::uint32_t line, std::int32_t code);         \
        CLASS(const std::string& file, std::uint32_t line, const std::string& message, \
              std::int32_t code);                                                      \
        CLASS(const std::string& file, std::uint32_t line, const std::string& message, \
              const std::string& argument, std::int32_t code);                         \
        CLASS(const CLASS&) = default;                                                 \
        CLASS& operator=(const CLASS&) = default;                                      \
        ~CLASS() override;                                                             \
        const char* Name() const noexcept override;                                    \
    }

ORLIX_DECLARE_EXCEPTION(NotFoundException);
ORLIX_DECLARE_EXCEPTION(SystemException);
ORLIX_DECLARE_EXCEPTION(InvalidArgumentException);

#undef ORLIX_DECLARE_EXCEPTION

// A handler of FrameworkException catches the whole family (a public base).
static_assert(std::is_convertible_v<NotFoundException*, FrameworkException*> &&
              std::is_convertible_v<SystemException*, FrameworkException*> &&
              std::is_convertible_v<InvalidArgumentException*, FrameworkException*>);

// Thrown when an Orlix::any is read as a type it does not hold. Not a FrameworkException.
class bad_any_cast : public std::bad_cast {
public:
    const char* what() const noexcept override;
};
static_assert(std::is_convertible_v<bad_any_cast*, std::bad_cast*> &&
              !std::is_base_of_v<FrameworkException, bad_any_cast>);

// The system's message text for a Win32 error code, UTF-8, trailing line break included;
// "" for a code the system does not know. Never throws for a bad code. Windows only.
std::string FormatSystemError(std::uint32_t code);
// The same from the message table of a loaded module (a handle of it, loaded as data or not)
// instead of the system's; "" for a code it does not hold.
std::string FormatModuleError(const void* module, std::uint32_t code);

}  // namespace Orlix

#include <orlix/exception.h>

namespace Orlix {

FrameworkException::FrameworkException(const std::string& file, std::uint32_t line,
                                       std::int32_t code)
    : code_(code), file_(file), line_(line) {
    Compose();
}

FrameworkException::FrameworkException(const std::string& file, std::uint32_t line,
                                       const std::string& message, std::int32_t code)
    : message_(message), code_(code), file_(file), line_(line) {
    Compose();
}

FrameworkException::FrameworkException(const std::string& file, std::uint32_t line,
                                       const std::string& message, const std::string& argument,
                                       std::int32_t code)
    : message_(argument.empty() ? message : message + ": " + argument),
      code_(code),
      file_(file),
      line_(line) {
    Compose();
}

FrameworkException::~FrameworkException() = default;

const char* FrameworkException::what() const noexcept {
    return text_.c_str();
}

const char* FrameworkException::Name() const noexcept {
    return "FrameworkException";
}

const char* FrameworkException::ClassName() const noexcept {
    return typeid(*this).name();
}

void FrameworkException::Rethrow() const {
    throw FrameworkException(*this);
}

void FrameworkException::SetMessage(const std::string& message) {
    message_ = message;
    Compose();
}

void FrameworkException::ExtendMessage(const std::string& argument) {
    if (argument.empty()) {
        return;
    }
    if (!message_.empty()) {
        message_ += ": ";
    }
    message_ += argument;
    Compose();
}

void FrameworkException::Compose() {
    text_.clear();
    text_ += file_;
    text_ += ':';
    text_ += std::to_string(line_);
    text_ += ':';
    text_ += Name();
    if (!message_.empty()) {
        text_ += ": ";
        text_ += message_;
    }
    if (code_ != 0) {
        text_ += " code:";
        text_ += std::to_string(code_);
    }
}

#define ORLIX_DEFINE_EXCEPTION(CLASS, NAME)                                               \
    CLASS::CLASS(const std::string& file, std::uint32_t line, std::int32_t code)          \
        : FrameworkException(file, line, code) {                                          \
        Compose();                                                                        \
    }                                                                                     \
    CLASS::CLASS(const std::string& file, std::uint32_t line, const std::string& message, \
                 std::int32_t code)                                                       \
        : FrameworkException(file, line, message, code) {                                 \
        Compose();                                                                        \
    }                                                                                     \
    CLASS::CLASS(const std::string& file, std::uint32_t line, const std::string& message, \
                 const std::string& argument, std::int32_t code)                          \
        : FrameworkException(file, line, message, argument, code) {                       \
        Compose();                                                                        \
    }                                                                                     \
    CLASS::~CLASS() = default;                                                            \
    const char* CLASS::Name() const noexcept {                                            \
        return NAME;                                                                      \
    }

ORLIX_DEFINE_EXCEPTION(NotFoundException, "Not found")
ORLIX_DEFINE_EXCEPTION(SystemException, "System exception")
ORLIX_DEFINE_EXCEPTION(InvalidArgumentException, "Invalid argument exception")

#undef ORLIX_DEFINE_EXCEPTION

const char* bad_any_cast::what() const noexcept {
    return "bad any cast";
}

}  // namespace Orlix

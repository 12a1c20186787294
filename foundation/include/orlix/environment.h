#pragma once

#include <string>

namespace Orlix {

// The process environment (Windows only).
class Environment {
public:
    // Throws SystemException "cannot set environment variable: " + name on failure.
    static void Set(const std::string& name, const std::string& value);
    // The variable's value, or `defaultValue` when it is not set.
    static std::string Get(const std::string& name, const std::string& defaultValue = "");
    static bool Has(const std::string& name);
};

}  // namespace Orlix

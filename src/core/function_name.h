#pragma once

#include <string>

namespace quarnel {

// Log records name their function as "Class::Method" (or "`anonymous-namespace'::Function"),
// the short form Windows compilers give. GCC only offers the full signature, so it is
// trimmed here: return type, parameters and qualifiers go, the anonymous namespace is renamed.
inline std::string ShortFunctionName(const char* prettyFunction) {
    std::string text(prettyFunction);
    // Parameters: cut at the '(' that matches the last ')'.
    size_t end = text.rfind(')');
    if (end != std::string::npos) {
        int depth = 0;
        for (size_t i = end + 1; i-- > 0;) {
            if (text[i] == ')') {
                ++depth;
            } else if (text[i] == '(' && --depth == 0) {
                end = i;
                break;
            }
        }
        text.resize(end);
    }
    // Return type: everything before the last space that is outside template brackets.
    int angle = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<') {
            ++angle;
        } else if (text[i] == '>') {
            --angle;
        } else if (text[i] == ' ' && angle == 0) {
            start = i + 1;
        }
    }
    text.erase(0, start);
    const std::string anonymous = "{anonymous}";
    for (size_t at = text.find(anonymous); at != std::string::npos; at = text.find(anonymous)) {
        text.replace(at, anonymous.size(), "`anonymous-namespace'");
    }
    return text;
}

}  // namespace quarnel

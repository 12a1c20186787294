#pragma once

namespace quarnel {

// Names of the key codes the keyboard listener reports; null for any other code, including
// negative ones (compared as unsigned).
inline const char* KeyCodeName(int code) {
    static const char* const names[] = {"left", "up", "right", "down", "pageUp", "pageDown"};
    const unsigned index = static_cast<unsigned>(code);
    return index < sizeof(names) / sizeof(names[0]) ? names[index] : nullptr;
}

}  // namespace quarnel

#include <orlix/uuid.h>

namespace Orlix {

std::string Uuid::ToString(const std::string& separator, bool upperCase) const {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(32 + 4 * separator.size());
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += separator;
        }
        text += digits[bytes_[i] >> 4];
        text += digits[bytes_[i] & 0x0F];
    }
    return text;
}

}  // namespace Orlix

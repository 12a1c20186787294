#include <orlix/format.h>

#include <locale>
#include <sstream>

namespace Orlix {

namespace {

using Iterator = std::string::const_iterator;

// The arguments with a cursor. Reading past the end sees an empty any, so a conversion
// that wants more arguments than there are behaves like one given a value of no known type.
class Arguments {
public:
    explicit Arguments(const std::vector<any>& values) : values_(values) {}

    bool Remaining(std::size_t position) const { return position < values_.size(); }
    const any& At(std::size_t position) const {
        static const any kNothing;
        return position < values_.size() ? values_[position] : kNothing;
    }

private:
    const std::vector<any>& values_;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Width and precision come from format strings that may not be trusted: past this a single
// conversion could ask for gigabytes of padding.
constexpr int kMaxField = 4096;

int ClampField(int value) {
    return value > kMaxField ? kMaxField : value;
}

int ParseNumber(Iterator& it, const Iterator& end) {
    int value = 0;
    while (it != end && IsDigit(*it)) {
        value = ClampField(value * 10 + (*it - '0'));
        ++it;
    }
    return value;
}

void ParseFlags(std::ostringstream& str, Iterator& it, const Iterator& end) {
    for (; it != end; ++it) {
        switch (*it) {
            case '#':
                str.setf(std::ios::showbase | std::ios::showpoint);
                break;
            case '+':
                str.setf(std::ios::showpos);
                break;
            case '-':
                str.setf(std::ios::left, std::ios::adjustfield);
                break;
            case '0':
                str.fill('0');
                str.setf(std::ios::internal, std::ios::adjustfield);
                break;
            default:
                return;
        }
    }
}

void ParseWidth(std::ostringstream& str, Iterator& it, const Iterator& end, const Arguments& args,
                std::size_t& cursor) {
    int width = 0;
    if (it != end && *it == '*') {
        ++it;
        width = ClampField(any_cast<int>(args.At(cursor++)));
    } else {
        width = ParseNumber(it, end);
    }
    if (width > 0) {
        str.width(width);
    }
}

void ParsePrecision(std::ostringstream& str, Iterator& it, const Iterator& end,
                    const Arguments& args, std::size_t& cursor) {
    if (it == end || *it != '.') {
        return;
    }
    ++it;
    int precision = 0;
    if (it != end && *it == '*') {
        ++it;
        precision = ClampField(any_cast<int>(args.At(cursor++)));
    } else {
        precision = ParseNumber(it, end);
    }
    if (precision >= 0) {
        str.precision(precision);
    }
}

char ParseModifier(Iterator& it, const Iterator& end) {
    if (it != end && (*it == 'l' || *it == 'L' || *it == 'h' || *it == '?')) {
        return *it++;
    }
    return 0;
}

void PrepareStream(std::ostringstream& str, char conversion) {
    switch (conversion) {
        case 'd':
        case 'i':
            str.setf(std::ios::dec, std::ios::basefield);
            break;
        case 'o':
            str.setf(std::ios::oct, std::ios::basefield);
            break;
        case 'x':
            str.setf(std::ios::hex, std::ios::basefield);
            break;
        case 'X':
            str.setf(std::ios::hex | std::ios::uppercase,
                     std::ios::basefield | std::ios::uppercase);
            break;
        case 'e':
            str.setf(std::ios::scientific, std::ios::floatfield);
            break;
        case 'E':
            str.setf(std::ios::scientific | std::ios::uppercase,
                     std::ios::floatfield | std::ios::uppercase);
            break;
        case 'f':
            str.setf(std::ios::fixed, std::ios::floatfield);
            break;
        default:
            break;
    }
}

// Writes `value` when it holds T; tells whether it did.
template <typename T, typename Shown = T>
bool WriteIf(std::ostringstream& str, const any& value) {
    if (const T* held = any_cast<T>(&value)) {
        str << static_cast<Shown>(*held);
        return true;
    }
    return false;
}

// Any integer type; characters are shown as numbers.
bool WriteAnyInteger(std::ostringstream& str, const any& value) {
    return WriteIf<char, int>(str, value) || WriteIf<signed char, int>(str, value) ||
           WriteIf<unsigned char, unsigned>(str, value) || WriteIf<short>(str, value) ||
           WriteIf<unsigned short>(str, value) || WriteIf<int>(str, value) ||
           WriteIf<unsigned>(str, value) || WriteIf<long>(str, value) ||
           WriteIf<unsigned long>(str, value) || WriteIf<long long>(str, value) ||
           WriteIf<unsigned long long>(str, value);
}

bool WriteSigned(std::ostringstream& str, const any& value, char modifier) {
    switch (modifier) {
        case 'l':
            return WriteIf<long>(str, value) || WriteIf<int>(str, value) ||
                   WriteSigned(str, value, 'L');
        case 'L':
            return WriteIf<long long>(str, value) || WriteSigned(str, value, 'h');
        case 'h':
            return WriteIf<short>(str, value) || WriteAnyInteger(str, value);
        case '?':
            return WriteAnyInteger(str, value);
        default:
            return WriteIf<int>(str, value);
    }
}

bool WriteUnsigned(std::ostringstream& str, const any& value, char modifier) {
    switch (modifier) {
        case 'l':
            return WriteIf<unsigned long>(str, value) || WriteIf<unsigned>(str, value) ||
                   WriteUnsigned(str, value, 'L');
        case 'L':
            return WriteIf<long long>(str, value) || WriteIf<unsigned long long>(str, value) ||
                   WriteUnsigned(str, value, 'h');
        case 'h':
            return WriteIf<unsigned short>(str, value) || WriteAnyInteger(str, value);
        case '?':
            return WriteAnyInteger(str, value);
        default:
            return WriteIf<unsigned>(str, value);
    }
}

// One conversion after "%": the stream's text is appended even when a typed read fails
// part way, followed by "[ERRFMT]"; scanning resumes where the conversion's parsing stopped.
void FormatOne(std::string& out, Iterator& it, const Iterator& end, const Arguments& args,
               std::size_t& cursor) {
    std::ostringstream str;
    str.imbue(std::locale::classic());
    try {
        ParseFlags(str, it, end);
        ParseWidth(str, it, end, args, cursor);
        ParsePrecision(str, it, end, args, cursor);
        const char modifier = ParseModifier(it, end);
        if (it == end) {
            return;
        }
        const char conversion = *it++;
        PrepareStream(str, conversion);
        const any& value = args.At(cursor);
        switch (conversion) {
            case 'd':
            case 'i':
                if (WriteSigned(str, value, modifier)) {
                    ++cursor;
                }
                break;
            case 'o':
            case 'u':
            case 'x':
            case 'X':
                if (WriteUnsigned(str, value, modifier)) {
                    ++cursor;
                }
                break;
            case 'e':
            case 'E':
            case 'f':
                ++cursor;
                if (modifier == 'h') {
                    str << any_cast<float>(value);
                } else if (modifier == 'l' || modifier == 'L') {
                    str << any_cast<long double>(value);
                } else {
                    str << any_cast<double>(value);
                }
                break;
            case 'b':
                ++cursor;
                str << any_cast<bool>(value);
                break;
            case 'c':
                ++cursor;
                str << any_cast<char>(value);
                break;
            case 's':
                ++cursor;
                str << any_cast<std::string>(value);
                break;
            case 'z':
                ++cursor;
                str << any_cast<unsigned>(value);
                break;
            default:
                str << conversion;
                break;
        }
    } catch (const bad_any_cast&) {
        str << "[ERRFMT]";
    }
    out += str.str();
}

}  // namespace

void Format(std::string& out, const std::string& fmt, const std::vector<any>& values) {
    const Arguments args(values);
    std::size_t cursor = 0;
    Iterator it = fmt.begin();
    const Iterator end = fmt.end();
    while (it != end) {
        if (*it != '%') {
            out += *it++;
            continue;
        }
        ++it;
        if (it == end) {
            break;  // a lone trailing "%" is dropped
        }
        if (*it == '[') {
            ++it;
            std::size_t index = 0;
            while (it != end && IsDigit(*it)) {
                if (index <= values.size()) {  // past the end it is out of range anyway
                    index = index * 10 + static_cast<std::size_t>(*it - '0');
                }
                ++it;
            }
            if (it != end && *it == ']') {
                ++it;
            }
            if (index >= values.size()) {
                throw InvalidArgumentException(__FILE__, __LINE__,
                                               "Format argument index out of range", fmt, 0);
            }
            FormatOne(out, it, end, args, index);
        } else if (args.Remaining(cursor)) {
            FormatOne(out, it, end, args, cursor);
        } else {
            out += *it++;
        }
    }
}

}  // namespace Orlix

#include "Format.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "Exceptions.h"

namespace pavana {
namespace {

[[noreturn]] void Invalid(std::string_view format) {
    throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string GroupThousands(const std::string& fixed) {
    std::size_t start = (!fixed.empty() && fixed[0] == '-') ? 1 : 0;
    std::size_t point = fixed.find('.');
    if (point == std::string::npos) point = fixed.size();
    std::string out = fixed.substr(0, start);
    for (std::size_t i = start; i < point; ++i) {
        out += fixed[i];
        std::size_t remaining = point - i - 1;
        if (remaining > 0 && remaining % 3 == 0) out += ',';
    }
    out += fixed.substr(point);
    return out;
}

std::string Pad(std::string text, int width, bool leftAlign) {
    if (width > 0 && static_cast<int>(text.size()) < width) {
        std::string fill(static_cast<std::size_t>(width) - text.size(), ' ');
        text = leftAlign ? text + fill : fill + text;
    }
    return text;
}

std::string Printf(const char* conversion, auto... values) {
    int n = std::snprintf(nullptr, 0, conversion, values...);
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, conversion, values...);
    return out;
}

class Formatter {
public:
    Formatter(std::string_view format, std::initializer_list<FormatArg> args) : format_(format), args_(args) {}

    std::string Run() {
        std::string out;
        std::size_t i = 0;
        while (i < format_.size()) {
            char c = format_[i];
            if (c != '%') {
                out += c;
                ++i;
                continue;
            }
            ++i;
            if (i < format_.size() && format_[i] == '%') {
                out += '%';
                ++i;
                continue;
            }
            out += Directive(i);
        }
        return out;
    }

private:
    std::string Directive(std::size_t& i) {
        int number = ReadNumber(i);
        if (i < format_.size() && format_[i] == ':') {
            if (number < 0) Invalid(format_);
            next_ = static_cast<std::size_t>(number);
            ++i;
            number = -2;
        }
        bool leftAlign = false;
        if (number == -2 || number == -1) {
            if (i < format_.size() && format_[i] == '-') {
                leftAlign = true;
                ++i;
            }
            number = ReadNumber(i);
        }
        int width = number;
        int precision = -1;
        if (i < format_.size() && format_[i] == '.') {
            ++i;
            precision = ReadNumber(i);
            if (precision < 0) precision = 0;
        }
        if (i >= format_.size()) Invalid(format_);
        char type = static_cast<char>(format_[i] | 0x20);
        ++i;
        return Pad(Convert(type, precision), width, leftAlign);
    }

    // Reads a decimal number or "*" (from the arguments); -1 when there is neither.
    int ReadNumber(std::size_t& i) {
        if (i < format_.size() && format_[i] == '*') {
            ++i;
            return static_cast<int>(IntegerArg());
        }
        if (i >= format_.size() || format_[i] < '0' || format_[i] > '9') return -1;
        int n = 0;
        while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
            n = n * 10 + (format_[i] - '0');
            if (n > 1'000'000) Invalid(format_);
            ++i;
        }
        return n;
    }

    const FormatArg& NextArg() {
        if (next_ >= args_.size()) Invalid(format_);
        return args_.begin()[next_++];
    }

    std::int64_t IntegerArg() {
        const auto* v = std::get_if<std::int64_t>(&NextArg().Value());
        if (!v) Invalid(format_);
        return *v;
    }

    double FloatArg() {
        const auto& value = NextArg().Value();
        if (const auto* d = std::get_if<double>(&value)) return *d;
        Invalid(format_);
    }

    std::string Convert(char type, int precision) {
        switch (type) {
            case 'd': {
                std::string digits = Printf("%" PRId64, IntegerArg());
                return PadDigits(digits, precision);
            }
            case 'u': return PadDigits(Printf("%" PRIu64, static_cast<std::uint64_t>(IntegerArg())), precision);
            case 'x': return PadDigits(Printf("%" PRIX64, static_cast<std::uint64_t>(IntegerArg())), precision);
            case 'p': return Printf("%016" PRIX64, static_cast<std::uint64_t>(IntegerArg()));
            case 'e': return Printf("%.*E", precision < 0 ? 15 : precision - 1 < 0 ? 0 : precision - 1, FloatArg());
            case 'f': return Printf("%.*f", precision < 0 ? 2 : precision, FloatArg());
            case 'g': return Printf("%.*G", precision < 0 ? 15 : precision, FloatArg());
            case 'n': return GroupThousands(Printf("%.*f", precision < 0 ? 2 : precision, FloatArg()));
            case 'm': return GroupThousands(Printf("%.*f", precision < 0 ? 2 : precision, FloatArg()));
            case 's': {
                const auto* s = std::get_if<std::string_view>(&NextArg().Value());
                if (!s) Invalid(format_);
                if (precision >= 0 && static_cast<std::size_t>(precision) < s->size())
                    return std::string(s->substr(0, static_cast<std::size_t>(precision)));
                return std::string(*s);
            }
            default: Invalid(format_);
        }
    }

    static std::string PadDigits(std::string digits, int precision) {
        bool negative = !digits.empty() && digits[0] == '-';
        std::string body = negative ? digits.substr(1) : digits;
        if (precision > 0 && static_cast<int>(body.size()) < precision)
            body.insert(0, static_cast<std::size_t>(precision) - body.size(), '0');
        return negative ? "-" + body : body;
    }

    std::string_view format_;
    std::initializer_list<FormatArg> args_;
    std::size_t next_ = 0;
};

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
    return Formatter(format, args).Run();
}

}  // namespace pavana

#include "platform/foundation/Format.h"

#include <cstdio>
#include <vector>

namespace foundation {

FormatArg::FormatArg(const Value& v) {
    switch (v.type()) {
    case Value::Type::Integer:
    case Value::Type::Bool:
        kind_ = Kind::Signed;
        i_ = v.intValue();
        text_ = v.description();
        break;
    case Value::Type::Real:
        kind_ = Kind::Real;
        d_ = v.doubleValue();
        text_ = v.description();
        break;
    default:
        kind_ = Kind::Text;
        text_ = v.description();
    }
}

int64_t FormatArg::asSigned() const {
    switch (kind_) {
    case Kind::Signed:
        return i_;
    case Kind::Unsigned:
    case Kind::Pointer:
        return int64_t(u_);
    case Kind::Real:
        return int64_t(d_);
    case Kind::Text:
        return std::strtoll(text_.c_str(), nullptr, 10);
    }
    return 0;
}

uint64_t FormatArg::asUnsigned() const {
    return kind_ == Kind::Unsigned || kind_ == Kind::Pointer ? u_ : uint64_t(asSigned());
}

double FormatArg::asReal() const {
    switch (kind_) {
    case Kind::Real:
        return d_;
    case Kind::Signed:
        return double(i_);
    case Kind::Unsigned:
    case Kind::Pointer:
        return double(u_);
    case Kind::Text:
        return std::strtod(text_.c_str(), nullptr);
    }
    return 0;
}

std::string FormatArg::asText() const {
    switch (kind_) {
    case Kind::Text:
        return text_;
    case Kind::Signed:
        return text_.empty() ? std::to_string(i_) : text_;
    case Kind::Unsigned:
        return std::to_string(u_);
    case Kind::Real: {
        if (!text_.empty()) return text_;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", d_);
        return buf;
    }
    case Kind::Pointer: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "0x%llx", (unsigned long long)u_);
        return buf;
    }
    }
    return {};
}

namespace {
std::string printfOne(const std::string& pattern, auto value) {
    int n = std::snprintf(nullptr, 0, pattern.c_str(), value);
    if (n < 0) return {};
    std::vector<char> buf(size_t(n) + 1);
    std::snprintf(buf.data(), buf.size(), pattern.c_str(), value);
    return std::string(buf.data(), size_t(n));
}
} // namespace

std::string formatWithArgs(std::string_view fmt, std::initializer_list<FormatArg> args) {
    std::string out;
    auto next = args.begin();
    size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        size_t start = i++;
        if (i < fmt.size() && fmt[i] == '%') { // "%%" writes one "%" and takes no argument
            out += '%';
            ++i;
            continue;
        }
        std::string flags;
        while (i < fmt.size() && std::string_view("-+ #0'").find(fmt[i]) != std::string_view::npos)
            flags += fmt[i++];
        std::string width;
        while (i < fmt.size() && ((fmt[i] >= '0' && fmt[i] <= '9') || fmt[i] == '.'))
            width += fmt[i++];
        while (i < fmt.size() && std::string_view("hlqLzjt").find(fmt[i]) != std::string_view::npos)
            ++i;
        if (i >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        char conv = fmt[i++];
        if (next == args.end()) { // a placeholder without an argument stays as written
            out.append(fmt.substr(start, i - start));
            continue;
        }
        const FormatArg& a = *next++;
        std::string base = "%" + flags + width;
        switch (conv) {
        case '@': {
            std::string text = a.asText();
            out += width.empty() ? text : printfOne(base + "s", text.c_str());
            break;
        }
        case 'd':
        case 'i':
            out += printfOne(base + "lld", (long long)a.asSigned());
            break;
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            out += printfOne(base + "ll" + conv, (unsigned long long)a.asUnsigned());
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            out += printfOne(base + conv, a.asReal());
            break;
        case 'c':
            out += char(a.asSigned());
            break;
        case 's':
            out += printfOne(base + "s", a.asText().c_str());
            break;
        case 'p':
            out += printfOne("%s", a.asText().c_str());
            break;
        default:
            out.append(fmt.substr(start, i - start));
            --next;
            break;
        }
    }
    return out;
}

} // namespace foundation

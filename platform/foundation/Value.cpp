#include "platform/foundation/Value.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>

namespace foundation {

namespace {
const Value& nullValue() {
    static const Value v;
    return v;
}
} // namespace

const Array* Value::array() const {
    auto p = std::get_if<std::shared_ptr<const Array>>(&v_);
    return p ? p->get() : nullptr;
}

const Dictionary* Value::dictionary() const {
    auto p = std::get_if<std::shared_ptr<const Dictionary>>(&v_);
    return p ? p->get() : nullptr;
}

bool Value::boolValue() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(v_);
    case Type::Integer:
        return std::get<int64_t>(v_) != 0;
    case Type::Real:
        return std::get<double>(v_) != 0.0;
    case Type::String: {
        const auto& s = std::get<std::string>(v_);
        size_t i = s.find_first_not_of(" \t\n");
        if (i == std::string::npos) return false;
        char c = s[i];
        if (c == '+' || c == '-') ++i;
        while (i < s.size() && s[i] == '0') // leading zeros: "007" is true
            ++i;
        c = i < s.size() ? s[i] : '0';
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default:
        return false;
    }
}

int64_t Value::intValue() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer:
        return std::get<int64_t>(v_);
    case Type::Real:
        return int64_t(std::get<double>(v_));
    case Type::String:
        return std::strtoll(std::get<std::string>(v_).c_str(), nullptr, 10);
    default:
        return 0;
    }
}

double Value::doubleValue() const {
    switch (type()) {
    case Type::Real:
        return std::get<double>(v_);
    case Type::String:
        return std::strtod(std::get<std::string>(v_).c_str(), nullptr);
    case Type::Date:
        return std::get<Date>(v_).secondsSince1970;
    default:
        return double(intValue());
    }
}

const Value& Value::operator[](const std::string& key) const {
    auto d = dictionary();
    if (!d) return nullValue();
    auto it = d->find(key);
    return it == d->end() ? nullValue() : it->second;
}

std::string Value::description() const {
    switch (type()) {
    case Type::Null:
        return "(null)";
    case Type::Bool:
        return std::get<bool>(v_) ? "1" : "0";
    case Type::Integer:
        return std::to_string(std::get<int64_t>(v_));
    case Type::Real: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(v_));
        return buf;
    }
    case Type::String:
        return std::get<std::string>(v_);
    case Type::Data: {
        static const char* hex = "0123456789abcdef";
        std::string s = "<";
        const auto& d = std::get<Data>(v_);
        for (size_t i = 0; i < d.size(); ++i) {
            if (i && i % 4 == 0) s += ' ';
            s += hex[d[i] >> 4];
            s += hex[d[i] & 15];
        }
        return s + ">";
    }
    case Type::Date: {
        char buf[64];
        time_t t = time_t(std::floor(std::get<Date>(v_).secondsSince1970));
        struct tm tm;
        gmtime_r(&t, &tm);
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
        return buf;
    }
    case Type::Array: {
        std::string s = "(";
        bool first = true;
        for (const auto& v : *array()) {
            s += first ? "" : ", ";
            s += v.description();
            first = false;
        }
        return s + ")";
    }
    case Type::Dictionary: {
        std::string s = "{";
        bool first = true;
        for (const auto& [k, v] : *dictionary()) {
            s += first ? "" : "; ";
            s += k + " = " + v.description();
            first = false;
        }
        return s + "}";
    }
    }
    return {};
}

bool Value::operator==(const Value& o) const {
    // Numbers compare by value across bool/integer/real, as boxed numbers do.
    if (isNumber() && o.isNumber()) {
        if (type() == Type::Real || o.type() == Type::Real) return doubleValue() == o.doubleValue();
        return intValue() == o.intValue();
    }
    if (type() != o.type()) return false;
    if (auto a = array()) return *a == *o.array();
    if (auto d = dictionary()) return *d == *o.dictionary();
    return v_ == o.v_;
}

size_t Value::hash() const {
    switch (type()) {
    case Type::Null:
        return 0;
    case Type::Bool:
    case Type::Integer:
        return std::hash<int64_t>()(intValue());
    case Type::Real: {
        double d = doubleValue();
        return d == std::floor(d) ? std::hash<int64_t>()(int64_t(d)) : std::hash<double>()(d);
    }
    case Type::String:
        return std::hash<std::string>()(*string());
    case Type::Data:
        return std::hash<std::string_view>()(
            std::string_view(reinterpret_cast<const char*>(data()->data()), data()->size()));
    case Type::Date:
        return std::hash<double>()(date()->secondsSince1970);
    case Type::Array:
        return array()->size();
    case Type::Dictionary:
        return dictionary()->size();
    }
    return 0;
}

} // namespace foundation

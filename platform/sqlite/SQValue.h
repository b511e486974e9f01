#pragma once
// The values a statement parameter takes. Every value reaches SQL as a bound parameter; the kind
// decides which sqlite3_bind_* call is used (small integers and bools as int, wider ones as int64,
// floating point as double, text and blobs by their bytes, dates as seconds or formatted text).
#include <concepts>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

class SQValue;
namespace sqdetail {
struct ArgRef;
ArgRef ref(const SQValue& v);
} // namespace sqdetail

class SQValue {
  public:
    enum class Kind : uint8_t { Null, Int, Int64, Double, Text, Blob, Date };

    // Integers of up to 32 bits (unsigned: below 32 bits) bind as int, the rest as int64; an
    // unsigned 64-bit value keeps its bit pattern.
    template <std::integral T> static constexpr Kind integerKind() {
        if constexpr (std::is_same_v<T, bool>)
            return Kind::Int;
        else if constexpr (std::is_signed_v<T>)
            return sizeof(T) <= 4 ? Kind::Int : Kind::Int64;
        else
            return sizeof(T) < 4 ? Kind::Int : Kind::Int64;
    }

    SQValue() = default;
    SQValue(std::nullptr_t) {}
    SQValue(std::nullopt_t) {}
    template <std::integral T> SQValue(T v) : kind_(integerKind<T>()), i_(int64_t(v)) {}
    template <std::floating_point T> SQValue(T v) : kind_(Kind::Double), d_(double(v)) {}
    SQValue(const char* s) {
        if (s) *this = SQValue(std::string(s));
    }
    SQValue(std::string s) : kind_(Kind::Text), bytes_(std::move(s)) {}
    SQValue(std::string_view s) : kind_(Kind::Text), bytes_(s) {}
    SQValue(const foundation::Data& d) : kind_(Kind::Blob), bytes_(d.begin(), d.end()) {}
    SQValue(foundation::Date d) : kind_(Kind::Date), d_(d.secondsSince1970) {}
    SQValue(const foundation::Value& v);
    template <class T> SQValue(const std::optional<T>& v) {
        if (v) *this = SQValue(*v);
    }

    static SQValue blob(std::span<const uint8_t> bytes) {
        return SQValue(foundation::Data(bytes.begin(), bytes.end()));
    }

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    // Integer kinds: the value; others converted the obvious way (text parsed, null 0).
    int64_t int64Value() const;
    double doubleValue() const;
    // Text kinds: the text; others their description.
    std::string textValue() const;
    // The bytes of text or a blob.
    std::string_view bytes() const { return bytes_; }
    double secondsSince1970() const { return d_; }
    std::string description() const;

    bool operator==(const SQValue& o) const = default;

  private:
    friend sqdetail::ArgRef sqdetail::ref(const SQValue& v);
    Kind kind_ = Kind::Null;
    int64_t i_ = 0;
    double d_ = 0;
    std::string bytes_;
};

namespace sqdetail {

// A non-owning view of one argument, used while a call binds its arguments; the argument outlives
// the call, and SQLite copies text and blobs when they are bound.
struct ArgRef {
    SQValue::Kind kind = SQValue::Kind::Null;
    int64_t i = 0;
    double d = 0;
    const char* p = nullptr;
    size_t n = 0;
    // Arrays and dictionaries bind as their description, made at bind time.
    const foundation::Value* object = nullptr;

    std::string description() const;
};

inline ArgRef ref(std::nullptr_t) {
    return {};
}
inline ArgRef ref(std::nullopt_t) {
    return {};
}
template <std::integral T> inline ArgRef ref(T v) {
    return {SQValue::integerKind<T>(), int64_t(v)};
}
template <std::floating_point T> inline ArgRef ref(T v) {
    return {SQValue::Kind::Double, 0, double(v)};
}
inline ArgRef ref(const char* s) {
    if (!s) return {};
    return {SQValue::Kind::Text, 0, 0, s, std::char_traits<char>::length(s)};
}
inline ArgRef ref(std::string_view s) {
    return {SQValue::Kind::Text, 0, 0, s.data(), s.size()};
}
inline ArgRef ref(const std::string& s) {
    return ref(std::string_view(s));
}
inline ArgRef ref(std::span<const uint8_t> b) {
    return {SQValue::Kind::Blob, 0, 0, reinterpret_cast<const char*>(b.data()), b.size()};
}
inline ArgRef ref(const foundation::Data& b) {
    return ref(std::span<const uint8_t>(b));
}
inline ArgRef ref(foundation::Date d) {
    return {SQValue::Kind::Date, 0, d.secondsSince1970};
}
ArgRef ref(const foundation::Value& v);
inline ArgRef ref(const SQValue& v) {
    return {v.kind_, v.i_, v.d_, v.bytes_.data(), v.bytes_.size()};
}
template <class T> inline ArgRef ref(const std::optional<T>& v) {
    return v ? ref(*v) : ArgRef{};
}

// Where a statement's values come from: views made from a call's own arguments, or a list of values.
struct ArgSource {
    const ArgRef* refs = nullptr;
    const SQValue* values = nullptr;
    size_t count = 0;
    ArgRef at(size_t i) const { return refs ? refs[i] : ref(values[i]); }
};

} // namespace sqdetail

using SQParameterDictionary = std::map<std::string, SQValue, std::less<>>;

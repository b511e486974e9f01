#pragma once
// A dynamically typed value: what property lists, user defaults, notification user info and
// archived dictionaries hold.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace foundation {

class Value;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value>;
using Data = std::vector<uint8_t>;

// Seconds since 1970-01-01 UTC, kept apart from plain numbers so plists round-trip dates.
struct Date {
    double secondsSince1970 = 0;
    bool operator==(const Date&) const = default;
};

class Value {
  public:
    enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(int64_t(i)) {}
    Value(long i) : v_(int64_t(i)) {}
    Value(long long i) : v_(int64_t(i)) {}
    Value(unsigned i) : v_(int64_t(i)) {}
    Value(unsigned long i) : v_(int64_t(i)) {}
    Value(unsigned long long i) : v_(int64_t(i)) {}
    Value(double d) : v_(d) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(foundation::Data d) : v_(std::move(d)) {}
    Value(foundation::Date d) : v_(d) {}
    Value(foundation::Array a) : v_(std::make_shared<foundation::Array>(std::move(a))) {}
    Value(foundation::Dictionary d) : v_(std::make_shared<foundation::Dictionary>(std::move(d))) {}

    Type type() const { return Type(v_.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isNumber() const { return type() == Type::Bool || type() == Type::Integer || type() == Type::Real; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isData() const { return type() == Type::Data; }

    // Numeric views follow the usual object conventions: a number's bool is "non-zero";
    // a string's is "begins with Y, y, T, t or a non-zero digit" (after blanks, a sign and zeros).
    bool boolValue() const;
    int64_t intValue() const;
    double doubleValue() const;

    const std::string* string() const { return std::get_if<std::string>(&v_); }
    const foundation::Data* data() const { return std::get_if<foundation::Data>(&v_); }
    const foundation::Date* date() const { return std::get_if<foundation::Date>(&v_); }
    const foundation::Array* array() const;
    const foundation::Dictionary* dictionary() const;
    std::string stringValue() const { return string() ? *string() : std::string(); }

    // Dictionary member look-up; Null when this is not a dictionary or the key is absent.
    const Value& operator[](const std::string& key) const;

    // The textual description used by "%@".
    std::string description() const;

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }
    size_t hash() const;

  private:
    // Containers are shared and immutable once built: copying a Value is cheap and never aliases
    // a mutable collection.
    std::variant<std::monostate, bool, int64_t, double, std::string, foundation::Data, foundation::Date,
                 std::shared_ptr<const foundation::Array>, std::shared_ptr<const foundation::Dictionary>>
        v_;
};

} // namespace foundation

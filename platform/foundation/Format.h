#pragma once
// The "%@" formatter: printf-style placeholders plus "%@" for an object's description, type-safe
// (arguments are captured by type, no va_list). A format given no arguments is returned literally.
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/Value.h"

namespace foundation {

template <class T>
concept Describable = requires(const T& t) {
    { t.description() } -> std::convertible_to<std::string>;
};

class FormatArg {
  public:
    enum class Kind { Signed, Unsigned, Real, Text, Pointer };

    FormatArg(const std::string& s) : kind_(Kind::Text), text_(s) {}
    FormatArg(std::string_view s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const char* s) : kind_(Kind::Text), text_(s ? s : "(null)") {}
    FormatArg(char* s) : FormatArg(static_cast<const char*>(s)) {}
    FormatArg(bool b) : kind_(Kind::Signed), i_(b ? 1 : 0) {}
    FormatArg(char c) : kind_(Kind::Signed), i_(c) {}
    template <std::signed_integral T> FormatArg(T v) : kind_(Kind::Signed), i_(int64_t(v)) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool>) FormatArg(T v) : kind_(Kind::Unsigned), u_(uint64_t(v)) {}
    template <std::floating_point T> FormatArg(T v) : kind_(Kind::Real), d_(double(v)) {}
    FormatArg(const void* p) : kind_(Kind::Pointer), u_(uint64_t(reinterpret_cast<uintptr_t>(p))) {}
    FormatArg(std::nullptr_t) : kind_(Kind::Text), text_("(null)") {}
    FormatArg(const Value& v);
    template <Describable T> FormatArg(const T& t) : kind_(Kind::Text), text_(t.description()) {}

    Kind kind() const { return kind_; }
    int64_t asSigned() const;
    uint64_t asUnsigned() const;
    double asReal() const;
    std::string asText() const;

  private:
    Kind kind_;
    std::string text_;
    int64_t i_ = 0;
    uint64_t u_ = 0;
    double d_ = 0;
};

std::string formatWithArgs(std::string_view fmt, std::initializer_list<FormatArg> args);

template <class... Args> std::string format(std::string_view fmt, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return std::string(fmt);
    } else {
        return formatWithArgs(fmt, {FormatArg(args)...});
    }
}

} // namespace foundation

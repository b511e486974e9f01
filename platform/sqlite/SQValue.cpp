#include "platform/sqlite/SQValue.h"

#include <cstdlib>

namespace {

std::string describe(SQValue::Kind kind, int64_t i, double d, std::string_view bytes) {
    using Kind = SQValue::Kind;
    switch (kind) {
    case Kind::Null:
        return "(null)";
    case Kind::Int:
    case Kind::Int64:
        return std::to_string(i);
    case Kind::Double:
        return foundation::Value(d).description();
    case Kind::Text:
        return std::string(bytes);
    case Kind::Blob:
        return foundation::Value(foundation::Data(bytes.begin(), bytes.end())).description();
    case Kind::Date:
        return foundation::Value(foundation::Date{d}).description();
    }
    return {};
}

} // namespace

SQValue::SQValue(const foundation::Value& v) {
    using T = foundation::Value::Type;
    switch (v.type()) {
    case T::Null:
        break;
    case T::Bool:
        *this = SQValue(v.boolValue());
        break;
    case T::Integer:
        *this = SQValue(v.intValue());
        break;
    case T::Real:
        *this = SQValue(v.doubleValue());
        break;
    case T::String:
        *this = SQValue(*v.string());
        break;
    case T::Data:
        *this = SQValue(*v.data());
        break;
    case T::Date:
        *this = SQValue(*v.date());
        break;
    case T::Array:
    case T::Dictionary:
        *this = SQValue(v.description());
        break;
    }
}

int64_t SQValue::int64Value() const {
    switch (kind_) {
    case Kind::Int:
    case Kind::Int64:
        return i_;
    case Kind::Double:
    case Kind::Date:
        return int64_t(d_);
    case Kind::Text:
        return std::strtoll(bytes_.c_str(), nullptr, 10);
    default:
        return 0;
    }
}

double SQValue::doubleValue() const {
    switch (kind_) {
    case Kind::Int:
    case Kind::Int64:
        return double(i_);
    case Kind::Double:
    case Kind::Date:
        return d_;
    case Kind::Text:
        return std::strtod(bytes_.c_str(), nullptr);
    default:
        return 0;
    }
}

std::string SQValue::textValue() const {
    return kind_ == Kind::Text ? bytes_ : description();
}

std::string SQValue::description() const {
    return describe(kind_, i_, d_, bytes_);
}

namespace sqdetail {

std::string ArgRef::description() const {
    if (object) return object->description();
    return describe(kind, i, d, std::string_view(p ? p : "", n));
}

ArgRef ref(const foundation::Value& v) {
    using T = foundation::Value::Type;
    switch (v.type()) {
    case T::Null:
        return {};
    case T::Bool:
        return ref(v.boolValue());
    case T::Integer:
        return ref(v.intValue());
    case T::Real:
        return ref(v.doubleValue());
    case T::String:
        return ref(std::string_view(*v.string()));
    case T::Data:
        return ref(*v.data());
    case T::Date:
        return ref(*v.date());
    case T::Array:
    case T::Dictionary: {
        ArgRef r;
        r.kind = SQValue::Kind::Text;
        r.object = &v;
        return r;
    }
    }
    return {};
}

} // namespace sqdetail

#include "sdk/core/transport/ArchiveCodec.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace transport::codec {

namespace {

using foundation::Data;
using foundation::Value;

constexpr uint8_t kMagic[4] = {'R', 'D', 'T', 'A'};
constexpr uint8_t kVersion = 1;
constexpr size_t kFrameHeader = 4 + 1 + 4 + 4;
constexpr int kMaxDepth = 64;

enum Tag : uint8_t {
    TagNull = 'n',
    TagFalse = 'f',
    TagTrue = 't',
    TagInteger = 'i',
    TagReal = 'r',
    TagString = 's',
    TagData = 'd',
    TagDate = 'D',
    TagArray = 'a',
    TagDictionary = 'm',
};

void putVarint(Data& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v) | 0x80);
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

void putU32(Data& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putBytes(Data& out, const void* p, size_t n) {
    putVarint(out, n);
    auto b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}

void putDouble(Data& out, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i)
        out.push_back(uint8_t(bits >> (8 * i)));
}

class Reader {
  public:
    Reader(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
    bool atEnd() const { return p_ == end_; }
    size_t left() const { return size_t(end_ - p_); }

    bool byte(uint8_t& b) {
        if (p_ == end_) return false;
        b = *p_++;
        return true;
    }
    bool varint(uint64_t& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t b;
            if (!byte(b)) return false;
            v |= uint64_t(b & 0x7f) << shift;
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool bytes(const uint8_t*& p, size_t& n) {
        uint64_t len;
        if (!varint(len) || len > left()) return false;
        p = p_;
        n = size_t(len);
        p_ += n;
        return true;
    }
    bool dbl(double& d) {
        if (left() < 8) return false;
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= uint64_t(p_[i]) << (8 * i);
        p_ += 8;
        std::memcpy(&d, &bits, 8);
        return true;
    }

    bool value(Value& out, int depth, std::string& why) {
        if (depth > kMaxDepth) return fail(why, "nested too deeply");
        uint8_t tag;
        if (!byte(tag)) return fail(why, "truncated");
        switch (tag) {
        case TagNull:
            out = Value();
            return true;
        case TagFalse:
            out = Value(false);
            return true;
        case TagTrue:
            out = Value(true);
            return true;
        case TagInteger: {
            uint64_t z;
            if (!varint(z)) return fail(why, "bad integer");
            out = Value(int64_t((z >> 1) ^ (~(z & 1) + 1)));
            return true;
        }
        case TagReal: {
            double d;
            if (!dbl(d)) return fail(why, "bad real");
            out = Value(d);
            return true;
        }
        case TagDate: {
            double d;
            if (!dbl(d)) return fail(why, "bad date");
            out = Value(foundation::Date{d});
            return true;
        }
        case TagString:
        case TagData: {
            const uint8_t* p;
            size_t n;
            if (!bytes(p, n)) return fail(why, "bad length");
            if (tag == TagString)
                out = Value(std::string(reinterpret_cast<const char*>(p), n));
            else
                out = Value(Data(p, p + n));
            return true;
        }
        case TagArray: {
            uint64_t count;
            // Every element takes at least one byte, so a count beyond what is left is damage.
            if (!varint(count) || count > left()) return fail(why, "bad array count");
            foundation::Array items;
            items.reserve(size_t(count));
            for (uint64_t i = 0; i < count; ++i) {
                Value item;
                if (!value(item, depth + 1, why)) return false;
                items.push_back(std::move(item));
            }
            out = Value(std::move(items));
            return true;
        }
        case TagDictionary: {
            uint64_t count;
            if (!varint(count) || count > left()) return fail(why, "bad dictionary count");
            foundation::Dictionary entries;
            for (uint64_t i = 0; i < count; ++i) {
                const uint8_t* k;
                size_t kn;
                if (!bytes(k, kn)) return fail(why, "bad key");
                Value item;
                if (!value(item, depth + 1, why)) return false;
                entries.emplace(std::string(reinterpret_cast<const char*>(k), kn), std::move(item));
            }
            out = Value(std::move(entries));
            return true;
        }
        default:
            return fail(why, "unknown tag");
        }
    }

  private:
    static bool fail(std::string& why, const char* reason) {
        why = reason;
        return false;
    }
    const uint8_t* p_;
    const uint8_t* end_;
};

} // namespace

uint32_t crc32(const uint8_t* bytes, size_t size) {
    uLong c = ::crc32(0L, Z_NULL, 0);
    while (size > 0) {
        uInt chunk = uInt(std::min<size_t>(size, 1u << 30));
        c = ::crc32(c, bytes, chunk);
        bytes += chunk;
        size -= chunk;
    }
    return uint32_t(c);
}

void appendValue(Data& out, const Value& v) {
    using T = Value::Type;
    switch (v.type()) {
    case T::Null:
        out.push_back(TagNull);
        break;
    case T::Bool:
        out.push_back(v.boolValue() ? TagTrue : TagFalse);
        break;
    case T::Integer: {
        int64_t i = v.intValue();
        out.push_back(TagInteger);
        putVarint(out, (uint64_t(i) << 1) ^ uint64_t(i >> 63));
        break;
    }
    case T::Real:
        out.push_back(TagReal);
        putDouble(out, v.doubleValue());
        break;
    case T::Date:
        out.push_back(TagDate);
        putDouble(out, v.date()->secondsSince1970);
        break;
    case T::String:
        out.push_back(TagString);
        putBytes(out, v.string()->data(), v.string()->size());
        break;
    case T::Data:
        out.push_back(TagData);
        putBytes(out, v.data()->data(), v.data()->size());
        break;
    case T::Array:
        out.push_back(TagArray);
        putVarint(out, v.array()->size());
        for (const auto& item : *v.array())
            appendValue(out, item);
        break;
    case T::Dictionary:
        appendDictionaryHeader(out, v.dictionary()->size());
        for (const auto& [k, item] : *v.dictionary()) {
            appendKey(out, k);
            appendValue(out, item);
        }
        break;
    }
}

Data encodeValue(const Value& v) {
    Data out;
    appendValue(out, v);
    return out;
}

std::optional<Value> decodeValue(const uint8_t* bytes, size_t size, std::string* why) {
    Reader r(bytes, size);
    Value v;
    std::string reason;
    if (!r.value(v, 0, reason)) {
        if (why) *why = reason;
        return std::nullopt;
    }
    if (!r.atEnd()) {
        if (why) *why = "trailing bytes";
        return std::nullopt;
    }
    return v;
}

Data frame(const Data& body) {
    Data out;
    out.reserve(kFrameHeader + body.size());
    out.insert(out.end(), kMagic, kMagic + 4);
    out.push_back(kVersion);
    putU32(out, uint32_t(body.size()));
    putU32(out, crc32(body.data(), body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::optional<Value> unframe(const Data& bytes, std::string* why) {
    auto fail = [&](const char* reason) -> std::optional<Value> {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (bytes.size() < kFrameHeader || std::memcmp(bytes.data(), kMagic, 4) != 0)
        return fail("not an archive");
    if (bytes[4] != kVersion) return fail("unknown archive version");
    uint32_t length = getU32(bytes.data() + 5);
    uint32_t crc = getU32(bytes.data() + 9);
    if (bytes.size() - kFrameHeader != length) return fail("wrong length");
    const uint8_t* body = bytes.data() + kFrameHeader;
    if (crc32(body, length) != crc) return fail("checksum mismatch");
    return decodeValue(body, length, why);
}

void appendDictionaryHeader(Data& out, size_t count) {
    out.push_back(TagDictionary);
    putVarint(out, count);
}

void appendKey(Data& out, std::string_view key) {
    putBytes(out, key.data(), key.size());
}

} // namespace transport::codec

#pragma once
// The byte format of the transport's archives: a small tagged binary encoding of a Value tree,
// framed with a magic, a length and a CRC so damaged or foreign bytes are recognised, not guessed at.
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace transport::codec {

// The tagged encoding of one value (no frame).
foundation::Data encodeValue(const foundation::Value& v);
void appendValue(foundation::Data& out, const foundation::Value& v);
// Decodes exactly `size` bytes; nothing (and a reason) when they are not one well-formed value.
std::optional<foundation::Value> decodeValue(const uint8_t* bytes, size_t size, std::string* why = nullptr);

// An archive file: "RDTA", format version, body length, CRC-32 of the body, body.
foundation::Data frame(const foundation::Data& body);
std::optional<foundation::Value> unframe(const foundation::Data& bytes, std::string* why = nullptr);

// Pieces of a dictionary encoding, for callers that assemble one from already encoded values: the
// header for `count` entries, then for each entry its key followed by the value's encoding.
void appendDictionaryHeader(foundation::Data& out, size_t count);
void appendKey(foundation::Data& out, std::string_view key);

uint32_t crc32(const uint8_t* bytes, size_t size);

} // namespace transport::codec

#pragma once
// Standard base64 (RFC 4648 alphabet, padded, no line breaks).
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace transport {

std::string base64Encode(const foundation::Data& data);
// Nothing for text that is not canonical padded standard base64.
std::optional<foundation::Data> base64Decode(const std::string& text);

} // namespace transport

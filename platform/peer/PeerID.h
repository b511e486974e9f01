#pragma once
// A peer's identity in a session: a display name (cut to 63 bytes, on a character boundary) and a
// number unique in this process, so two peers with the same name stay apart.
#include <cstdint>
#include <memory>
#include <string>

namespace peer {

inline constexpr size_t kMaxDisplayNameBytes = 63;

class PeerID {
  public:
    explicit PeerID(const std::string& displayName);
    const std::string& displayName() const { return displayName_; }
    uint64_t uniqueID() const { return uniqueID_; }

  private:
    std::string displayName_;
    uint64_t uniqueID_;
};

using PeerIDPtr = std::shared_ptr<const PeerID>;

inline PeerIDPtr makePeerID(const std::string& displayName) {
    return std::make_shared<const PeerID>(displayName);
}

// The text cut to at most `maxBytes` without splitting a UTF-8 sequence.
std::string truncateUtf8(const std::string& text, size_t maxBytes);
// Whether the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(const char* data, size_t size);

} // namespace peer

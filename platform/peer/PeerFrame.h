#pragma once
// The session's wire format over TCP: frames of a one-byte type, a four-byte big-endian length and the
// payload. Control frames (invite, accept, decline, bye) carry at most 4 KiB; data frames at most
// kMaxDataFrame. A reader meeting an unknown type or a length over its type's limit reports the stream
// as malformed, and the connection is closed; nothing of such a frame is delivered.
#include <QByteArray>
#include <cstdint>

class QIODevice;

namespace peer {

enum class FrameType : uint8_t { Invite = 1, Accept = 2, Decline = 3, Data = 4, Bye = 5 };

inline constexpr uint32_t kMaxControlFrame = 4 * 1024;
inline constexpr uint32_t kMaxDataFrame = 64 * 1024 * 1024;
inline constexpr int kFrameHeaderSize = 5;

struct Frame {
    FrameType type = FrameType::Data;
    QByteArray payload;
};

// The limit of a frame type's payload; 0 for a type that does not exist.
uint32_t frameLimit(uint8_t type);
QByteArray frameHeader(FrameType type, uint32_t length);
QByteArray encodeFrame(FrameType type, const QByteArray& payload);

class FrameReader {
  public:
    enum class Status { Frame, NeedMore, Malformed };
    // Reads from the device what it has; a whole frame comes out in `frame`. Call again until NeedMore.
    Status read(QIODevice& device, Frame& frame);
    // The same over bytes already in hand (tests, datagrams): consumes from the front of `bytes`.
    Status read(QByteArray& bytes, Frame& frame);
    // Any other type of frame is malformed, found at its header (before its payload is read).
    void acceptOnly(FrameType type) { only_ = uint8_t(type); }
    // Part of a frame has been read and the rest has not come yet.
    bool midFrame() const { return haveHeader_ || headerFill_ > 0; }

  private:
    Status afterHeader();
    char header_[kFrameHeaderSize] = {};
    int headerFill_ = 0;
    bool haveHeader_ = false;
    uint8_t type_ = 0;
    uint32_t length_ = 0;
    QByteArray payload_;
    qsizetype payloadFill_ = 0;
    bool malformed_ = false;
    uint8_t only_ = 0; // 0: every known type
};

} // namespace peer

#include "platform/peer/PeerFrame.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace peer {

uint32_t frameLimit(uint8_t type) {
    switch (FrameType(type)) {
    case FrameType::Invite:
    case FrameType::Accept:
    case FrameType::Decline:
    case FrameType::Bye:
        return kMaxControlFrame;
    case FrameType::Data:
        return kMaxDataFrame;
    }
    return 0;
}

QByteArray frameHeader(FrameType type, uint32_t length) {
    QByteArray h(kFrameHeaderSize, '\0');
    h[0] = char(type);
    h[1] = char((length >> 24) & 0xFF);
    h[2] = char((length >> 16) & 0xFF);
    h[3] = char((length >> 8) & 0xFF);
    h[4] = char(length & 0xFF);
    return h;
}

QByteArray encodeFrame(FrameType type, const QByteArray& payload) {
    return frameHeader(type, uint32_t(payload.size())) + payload;
}

FrameReader::Status FrameReader::afterHeader() {
    type_ = uint8_t(header_[0]);
    length_ = (uint32_t(uint8_t(header_[1])) << 24) | (uint32_t(uint8_t(header_[2])) << 16) |
              (uint32_t(uint8_t(header_[3])) << 8) | uint32_t(uint8_t(header_[4]));
    const uint32_t limit = frameLimit(type_);
    if (limit == 0 || length_ > limit || (only_ != 0 && type_ != only_)) {
        malformed_ = true;
        return Status::Malformed;
    }
    haveHeader_ = true;
    // Grown as bytes arrive rather than all at once: a header alone must not make us allocate 64 MiB.
    payload_.clear();
    payload_.reserve(std::min<qsizetype>(length_, 1 << 20));
    payloadFill_ = 0;
    return Status::NeedMore;
}

FrameReader::Status FrameReader::read(QIODevice& device, Frame& frame) {
    if (malformed_) return Status::Malformed;
    for (;;) {
        if (!haveHeader_) {
            const qint64 n = device.read(header_ + headerFill_, kFrameHeaderSize - headerFill_);
            if (n <= 0) return Status::NeedMore;
            headerFill_ += int(n);
            if (headerFill_ < kFrameHeaderSize) return Status::NeedMore;
            headerFill_ = 0;
            if (afterHeader() == Status::Malformed) return Status::Malformed;
        }
        const qsizetype want = qsizetype(length_) - payloadFill_;
        if (want > 0) {
            const qsizetype chunk = std::min<qsizetype>(want, std::max<qint64>(device.bytesAvailable(), 0));
            if (chunk == 0) return Status::NeedMore;
            payload_.resize(payloadFill_ + chunk);
            const qint64 n = device.read(payload_.data() + payloadFill_, chunk);
            if (n <= 0) {
                payload_.resize(payloadFill_);
                return Status::NeedMore;
            }
            payloadFill_ += n;
            payload_.resize(payloadFill_);
            if (payloadFill_ < qsizetype(length_)) continue;
        }
        frame.type = FrameType(type_);
        frame.payload = std::move(payload_);
        payload_ = QByteArray();
        haveHeader_ = false;
        return Status::Frame;
    }
}

FrameReader::Status FrameReader::read(QByteArray& bytes, Frame& frame) {
    if (malformed_) return Status::Malformed;
    if (!haveHeader_) {
        const int take = int(std::min<qsizetype>(kFrameHeaderSize - headerFill_, bytes.size()));
        std::memcpy(header_ + headerFill_, bytes.constData(), size_t(take));
        bytes.remove(0, take);
        headerFill_ += take;
        if (headerFill_ < kFrameHeaderSize) return Status::NeedMore;
        headerFill_ = 0;
        if (afterHeader() == Status::Malformed) return Status::Malformed;
    }
    const qsizetype take = std::min<qsizetype>(qsizetype(length_) - payloadFill_, bytes.size());
    payload_.append(bytes.constData(), take);
    bytes.remove(0, take);
    payloadFill_ += take;
    if (payloadFill_ < qsizetype(length_)) return Status::NeedMore;
    frame.type = FrameType(type_);
    frame.payload = std::move(payload_);
    payload_ = QByteArray();
    haveHeader_ = false;
    return Status::Frame;
}

} // namespace peer

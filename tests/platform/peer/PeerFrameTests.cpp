// The wire format and the browse datagrams: limits, broken input, text detection.
#include <QBuffer>
#include <catch2/catch.hpp>

#include "platform/peer/PeerDiscovery.h"
#include "platform/peer/PeerFrame.h"
#include "platform/peer/PeerID.h"

using namespace peer;

TEST_CASE("frames come out whole, however the bytes arrive", "[peer][frame]") {
    const QByteArray stream = encodeFrame(FrameType::Invite, "tablet") +
                              encodeFrame(FrameType::Data, "Start,5") + encodeFrame(FrameType::Data, {}) +
                              encodeFrame(FrameType::Bye, {});
    for (int chunk : {1, 3, 7, 1000}) {
        FrameReader reader;
        std::vector<Frame> frames;
        for (int at = 0; at < stream.size(); at += chunk) {
            QByteArray piece = stream.mid(at, chunk);
            Frame f;
            FrameReader::Status st;
            while ((st = reader.read(piece, f)) == FrameReader::Status::Frame)
                frames.push_back(f);
            REQUIRE(st == FrameReader::Status::NeedMore);
        }
        REQUIRE(frames.size() == 4);
        CHECK(frames[0].type == FrameType::Invite);
        CHECK(frames[0].payload == "tablet");
        CHECK(frames[1].payload == "Start,5");
        CHECK(frames[2].payload.isEmpty());
        CHECK(frames[3].type == FrameType::Bye);
    }
}

TEST_CASE("frames over their limit or of no known type are refused at the header", "[peer][frame]") {
    auto status = [](QByteArray bytes) {
        FrameReader reader;
        Frame f;
        return reader.read(bytes, f);
    };
    CHECK(status(frameHeader(FrameType::Invite, kMaxControlFrame + 1)) == FrameReader::Status::Malformed);
    CHECK(status(frameHeader(FrameType::Invite, kMaxControlFrame)) == FrameReader::Status::NeedMore);
    CHECK(status(frameHeader(FrameType::Data, kMaxDataFrame + 1)) == FrameReader::Status::Malformed);
    CHECK(status(frameHeader(FrameType::Data, 0xFFFFFFFFu)) == FrameReader::Status::Malformed);
    CHECK(status(QByteArray("\x00\x00\x00\x00\x01", 5)) == FrameReader::Status::Malformed);
    CHECK(status(QByteArray("GET / HTTP/1.1\r\n")) == FrameReader::Status::Malformed);

    SECTION("reading from a device stops at the same place") {
        QByteArray bytes = frameHeader(FrameType::Data, kMaxDataFrame + 5) + QByteArray(10, 'x');
        QBuffer dev(&bytes);
        dev.open(QIODevice::ReadOnly);
        FrameReader reader;
        Frame f;
        CHECK(reader.read(dev, f) == FrameReader::Status::Malformed);
        CHECK(reader.read(dev, f) == FrameReader::Status::Malformed); // and stays so
    }
}

TEST_CASE("text is told from photographs by strict UTF-8", "[peer][frame]") {
    CHECK(isValidUtf8("Progress,1", 10));
    const std::string jp = "受信完了";
    CHECK(isValidUtf8(jp.data(), jp.size()));
    CHECK_FALSE(isValidUtf8("\xFF\xD8\xFF\xE0", 4)); // a JPEG's start
    CHECK_FALSE(isValidUtf8("\xE5\x8F", 2));         // cut short
    CHECK_FALSE(isValidUtf8("\xC0\xAF", 2));         // overlong "/"
    CHECK_FALSE(isValidUtf8("\xED\xA0\x80", 3));     // a surrogate
    CHECK(isValidUtf8("", 0));
    CHECK(truncateUtf8(std::string(62, 'a') + "受", 63) == std::string(62, 'a'));
    CHECK(PeerID(std::string(100, 'n')).displayName().size() == kMaxDisplayNameBytes);
}

TEST_CASE("browse datagrams are read strictly", "[peer][discovery]") {
    auto answer = parseBrowseAnswer(encodeBrowseAnswer("zv-photo-rcv", "受付", 5000, {{"aaa", "bbb"}}));
    REQUIRE(answer);
    CHECK(answer->displayName == "受付");
    CHECK(answer->port == 5000);
    CHECK(answer->discoveryInfo.at("aaa") == "bbb");
    CHECK(parseBrowseRequest(encodeBrowseRequest("zv-photo-rcv")) ==
          std::optional<std::string>("zv-photo-rcv"));
    CHECK_FALSE(parseBrowseAnswer(R"({"serviceType":"x","displayName":"y","port":0})"));
    CHECK_FALSE(parseBrowseAnswer(R"({"serviceType":"x","displayName":"y","port":"80"})"));
    CHECK_FALSE(parseBrowseAnswer("not json"));
    CHECK_FALSE(parseBrowseRequest(QByteArray(int(kMaxDatagram) + 1, ' ')));
}

// Receiving photographs over the peer session, against what the same bytes cost without it:
//   bench_peer_receive [count=50] [megapixels=12]
// 1. transport: the session carrying the JPEGs vs a raw loopback TCP copy of the same bytes
//    (target: session throughput at least 0.5 of raw);
// 2. receive path: the session helper receiving, decoding and storing each JPEG in the library as
//    received, vs decoding and durably storing the same files without a session (target: at least 0.8).
// The screen's fixed waits (the settle before filing, the half-second steps) are not part of either.
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>

#include "app/photos/SessionHelper.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/peer/ImageDecoding.h"
#include "platform/peer/PeerSession.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"

namespace {

// A photograph-like picture: smooth light with fine grain, so it compresses like a real one.
QByteArray photo(int seed, int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    std::mt19937 rng{uint32_t(seed)};
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(rng() & 15);
            line[x] = qRgb((x * 255 / width + grain + seed * 7) & 255, (y * 255 / height + grain) & 255,
                           ((x + y) / 16 + grain) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 92);
    return bytes;
}

void runUntil(const std::function<bool()>& done, int timeoutMs = 600000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

// Runs `body` on a thread of its own with an event loop, until stopped.
class LoopThread : public QThread {
  public:
    explicit LoopThread(std::function<void()> body) : body_(std::move(body)) {}
    void run() override { body_(); }

  private:
    std::function<void()> body_;
};

double rawCopy(const std::vector<QByteArray>& files, qint64 total) {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    qint64 received = 0;
    QTcpSocket* in = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        in = server.nextPendingConnection();
        QObject::connect(in, &QTcpSocket::readyRead, in, [&] { received += in->readAll().size(); });
    });
    QElapsedTimer t;
    t.start();
    LoopThread sender([&] {
        QTcpSocket out;
        out.connectToHost(QHostAddress::LocalHost, port);
        out.waitForConnected(5000);
        for (const auto& f : files) {
            out.write(peer::frameHeader(peer::FrameType::Data, uint32_t(f.size()))); // the same framing bytes
            out.write(f);
        }
        while (out.bytesToWrite() > 0)
            out.waitForBytesWritten(1000);
        QEventLoop loop;
        loop.exec();
    });
    sender.start();
    runUntil([&] { return received >= total + qint64(files.size()) * peer::kFrameHeaderSize; });
    const double seconds = t.elapsed() / 1000.0;
    sender.quit();
    sender.wait();
    return seconds;
}

// Sends the files from a thread of its own through a session to the peer listening at the port.
void sendBySession(LoopThread*& thread, const std::vector<QByteArray>& files, quint16 sessionPort) {
    thread = new LoopThread([&files, sessionPort] {
        peer::PeerSession session(peer::makePeerID("bench-sender"));
        peer::DiscoveredPeer target{peer::makePeerID("receiver"), "127.0.0.1", sessionPort, ""};
        session.onStateChange = [&](const peer::PeerIDPtr& p, peer::SessionState s) {
            if (s != peer::SessionState::Connected) return;
            for (const auto& f : files)
                session.sendData(f, {p}, peer::SendDataMode::Reliable);
        };
        session.invitePeer(target, 10);
        QEventLoop loop;
        loop.exec();
    });
    thread->start();
}

double sessionTransport(const std::vector<QByteArray>& files) {
    peer::PeerSettings settings;
    settings.discoveryPort = 0;
    auto me = peer::makePeerID("receiver");
    peer::PeerSession session(me);
    peer::NearbyServiceAdvertiser advertiser(me, {}, "zv-bench", settings);
    advertiser.onInvitation = [&](const peer::PeerIDPtr&,
                                  peer::NearbyServiceAdvertiser::InvitationHandler h) { h(true, &session); };
    advertiser.startAdvertisingPeer();
    size_t received = 0;
    session.onData = [&](const QByteArray&, const peer::PeerIDPtr&) { ++received; };
    QElapsedTimer t;
    t.start();
    LoopThread* sender = nullptr;
    sendBySession(sender, files, advertiser.sessionPort());
    runUntil([&] { return received >= files.size(); });
    const double seconds = t.elapsed() / 1000.0;
    sender->quit();
    sender->wait();
    delete sender;
    return seconds;
}

// What the receive screen does with a photograph: one change storing the bytes in the camera album.
void store(photos::PhotoLibrary& library, const QByteArray& bytes, std::atomic<int>& done) {
    foundation::Data data(bytes.begin(), bytes.end());
    library.performChanges(
        [data = std::move(data)](photos::ChangeRequest& c) mutable {
            c.addAssetsToAlbumTitled("Eye-Fi", {c.createImageAsset(std::move(data))});
        },
        [&done](bool ok, foundation::ErrorPtr) {
            if (!ok) std::fprintf(stderr, "store failed\n");
            ++done;
        });
}

double decodeAndStore(const std::vector<QByteArray>& files, const std::string& root) {
    photos::PhotoLibrary library(root);
    std::atomic<int> done{0};
    QElapsedTimer t;
    t.start();
    for (const auto& f : files) {
        const QImage image = peer::decodeImage(f);
        if (image.isNull()) std::fprintf(stderr, "decode failed\n");
        store(library, f, done);
    }
    runUntil([&] { return done.load() >= int(files.size()); });
    return t.elapsed() / 1000.0;
}

struct Storing : SessionHelperDelegate {
    photos::PhotoLibrary* library = nullptr;
    std::atomic<int> done{0};
    void sessionHelperDidChangeConnectedPeer(const peer::PeerIDPtr&, bool) override {}
    void sessionHelperDidRecieveMessage(const std::string&, const peer::PeerIDPtr&) override {}
    void sessionHelperDidRecieveImage(const QByteArray& data, unsigned long,
                                      const peer::PeerIDPtr&) override {
        store(*library, data, done);
    }
};

double receivePath(const std::vector<QByteArray>& files, const std::string& root) {
    photos::PhotoLibrary library(root);
    auto storing = std::make_shared<Storing>();
    storing->library = &library;
    peer::PeerSettings settings;
    settings.discoveryPort = 0;
    auto helper = SessionHelper::create("receiver", settings);
    helper->setDelegate(storing);
    QElapsedTimer t;
    t.start();
    LoopThread* sender = nullptr;
    sendBySession(sender, files, helper->nearbyServiceAdvertiser()->sessionPort());
    runUntil([&] { return storing->done.load() >= int(files.size()); });
    const double seconds = t.elapsed() / 1000.0;
    sender->quit();
    sender->wait();
    delete sender;
    helper.reset();
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::installMainQueueExecutor();
    foundation::LogCapture quiet; // the per-photograph log lines would time the terminal
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const double megapixels = argc > 2 ? std::max(0.1, std::atof(argv[2])) : 12.0;
    const int width = int(std::sqrt(megapixels * 1e6 * 4.0 / 3.0)), height = width * 3 / 4;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);

    std::vector<QByteArray> files;
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        files.push_back(photo(i, width, height));
        total += files.back().size();
    }
    std::printf("%d JPEGs of %dx%d, %.1f MB in all\n", count, width, height, total / 1e6);

    const double raw = rawCopy(files, total);
    const double session = sessionTransport(files);
    std::printf(
        "transport: raw TCP %.3f s (%.0f MB/s), session %.3f s (%.0f MB/s): ratio %.2f (target >= 0.5)\n",
        raw, total / 1e6 / raw, session, total / 1e6 / session, raw / session);

    const std::string base = foundation::home::tmp() + "/bench_peer_receive";
    std::filesystem::remove_all(base);
    const double stored = decodeAndStore(files, base + "/direct");
    const double received = receivePath(files, base + "/session");
    std::printf(
        "receive path: decode+store %.3f s, session+decode+store %.3f s: ratio %.2f (target >= 0.8)\n",
        stored, received, stored / received);
    std::filesystem::remove_all(base);
    const bool ok = raw / session >= 0.5 && stored / received >= 0.8;
    std::printf("%s\n", ok ? "PASS" : "BELOW TARGET");
    ui::removeMainQueueExecutor();
    return ok ? 0 : 1;
}

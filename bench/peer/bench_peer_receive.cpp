// Receiving photographs over the peer session, against what the same bytes cost without it:
//   bench_peer_receive [count=50] [megapixels=12] [rounds=5]
// 1. transport: the session carrying the JPEGs vs the floor, a plain tight copy of the same bytes
//    (each photograph's data frame header and the photograph) over a loopback socket by two threads
//    (target: session throughput at least 0.5 of the floor; five pairs a round, the pairs' ratios'
//    median counts);
// 2. receive path: the session helper receiving each JPEG and handing it, as received, to one library
//    change that decodes and durably stores it (as the receive screen does), vs the same changes for
//    the same files without a session (target: at least 0.8).
// The screen's fixed waits (the settle before filing, the half-second steps) are not part of either.
// Each side runs once to warm up, then `rounds` times (at least five), interleaved; medians count.
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "app/photos/receive/SessionHelper.h"
#include "bench/BenchApp.h"
#include "platform/foundation/Log.h"
#include "platform/peer/PeerSession.h"
#include "platform/photos/ImageCheck.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"
#include "tests/support/Photographs.h"

namespace {

// A round that cannot run ends the benchmark with 2; the sender thread may still run, so no static
// destructors run under it.
[[noreturn]] void giveUp() {
    std::fflush(nullptr);
    std::_Exit(2);
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

// The floor of the transport: the same bytes, each photograph's frame header then the photograph,
// written by one thread into a loopback socket and read by this one, as fast as the two can go. The
// photographs are written from where they are, as the session writes them, in writes of 1 MB. The
// reader is woken only once half a megabyte waits (a blocking read woken for every 64 KB that arrives
// spends more on waking than on copying, which made this copy slower than the session), then takes
// up to 4 MB at once. Seconds from the connection to the last byte read.
double rawCopy(const std::vector<QByteArray>& files) {
    qsizetype total = 0;
    for (const auto& f : files)
        total += qsizetype(peer::frameHeader(peer::FrameType::Data, 0).size()) + f.size();
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        giveUp();
    }
    QElapsedTimer t;
    t.start();
    std::thread sender([&files, address] {
        int out = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(out, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) giveUp();
        auto sendAll = [out](const char* p, qsizetype size, int flags) {
            constexpr qsizetype kWrite = 1 << 20;
            for (qsizetype sent = 0; sent < size;) {
                ssize_t n = ::send(out, p + sent, size_t(std::min(kWrite, size - sent)), flags);
                if (n <= 0) giveUp();
                sent += n;
            }
        };
        for (const auto& f : files) {
            const QByteArray header = peer::frameHeader(peer::FrameType::Data, uint32_t(f.size()));
            sendAll(header.constData(), header.size(), MSG_MORE);
            sendAll(f.constData(), f.size(), 0);
        }
        ::close(out);
    });
    int in = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    const int wakeAt = 512 << 10;
    if (in < 0 || ::setsockopt(in, SOL_SOCKET, SO_RCVLOWAT, &wakeAt, sizeof wakeAt) != 0) {
        std::perror("accept");
        giveUp();
    }
    std::vector<char> buffer(4 << 20);
    qsizetype received = 0;
    for (ssize_t n; (n = ::recv(in, buffer.data(), buffer.size(), 0)) > 0;)
        received += n;
    const double seconds = t.elapsed() / 1000.0;
    sender.join();
    ::close(in);
    ::close(listener);
    if (received != total) std::fprintf(stderr, "the raw copy lost bytes\n");
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

// What the receive screen does with a photograph: one change on the library's queue that decodes it
// once, then stores the bytes in the camera album.
void store(photos::PhotoLibrary& library, const QByteArray& bytes, std::atomic<int>& done) {
    foundation::Data data(bytes.begin(), bytes.end());
    library.performChanges(
        [data = std::move(data)](photos::ChangeRequest& c) mutable {
            photos::ImageCheck check = photos::checkImage(data);
            if (!check) return c.fail("not a picture: " + check.refusal);
            c.addAssetsToAlbumTitled("Eye-Fi", {c.createImageAsset(std::move(data), std::move(*check.info))});
        },
        [&done](bool ok, foundation::ErrorPtr) {
            if (!ok) std::fprintf(stderr, "store failed\n");
            ++done;
        });
}

// The floor of the receive path: the same changes for the same files, asked for one after another.
double decodeAndStore(const std::vector<QByteArray>& files, const std::string& root) {
    photos::PhotoLibrary library(root);
    std::atomic<int> done{0};
    QElapsedTimer t;
    t.start();
    for (const auto& f : files)
        store(library, f, done);
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
    bench::BenchApp app(argc, argv);
    ui::installMainQueueExecutor();
    foundation::LogCapture quiet; // the per-photograph log lines would time the terminal
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const double megapixels = argc > 2 ? std::max(0.1, std::atof(argv[2])) : 12.0;
    const int rounds = argc > 3 ? std::max(5, std::atoi(argv[3])) : 5;
    const int width = int(std::sqrt(megapixels * 1e6 * 4.0 / 3.0)), height = width * 3 / 4;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);

    std::vector<QByteArray> files;
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        files.push_back(testsupport::photograph(i, width, height));
        total += files.back().size();
    }
    std::printf("%d JPEGs of %dx%d, %.1f MB in all; medians of %d rounds after a warm-up round\n", count,
                width, height, total / 1e6, rounds);

    // The copy takes a twentieth of a second and the machine's pace drifts within seconds: each round
    // times it in five pairs, side by side, and the ratio is the median of the pairs' own.
    constexpr int kPairs = 5;
    std::vector<double> raws, sessions, transportRatios, stores, receives;
    const std::string base = app.homePath() + "/tmp/bench_peer_receive";
    for (int round = 0; round <= rounds; ++round) {
        // Turn about which side goes first, so neither always finds the disk busy with the other's writes.
        const bool floorFirst = round % 2 == 0;
        for (int pair = 0; pair < kPairs; ++pair) {
            double raw = 0, session = 0;
            if ((pair % 2 == 0) == floorFirst) raw = rawCopy(files);
            session = sessionTransport(files);
            if (raw == 0) raw = rawCopy(files);
            if (round == 0) continue; // the warm-up round
            raws.push_back(raw);
            sessions.push_back(session);
            transportRatios.push_back(raw / session);
        }
        double stored = 0, received = 0;
        const std::string folder = base + "/" + std::to_string(round);
        if (floorFirst) stored = decodeAndStore(files, folder + "/direct");
        received = receivePath(files, folder + "/session");
        if (!floorFirst) stored = decodeAndStore(files, folder + "/direct");
        std::filesystem::remove_all(folder);
        if (round == 0) continue;
        stores.push_back(stored);
        receives.push_back(received);
    }
    const double raw = bench::median(raws), session = bench::median(sessions);
    const double transportRatio = bench::median(transportRatios);
    const double stored = bench::median(stores), received = bench::median(receives);
    std::sort(transportRatios.begin(), transportRatios.end());
    std::printf("transport: floor (plain socket copy) %.3f s (%.0f MB/s), session %.3f s (%.0f MB/s): "
                "ratio %.2f, quartiles %.2f-%.2f of %zu pairs (target >= 0.5)\n",
                raw, total / 1e6 / raw, session, total / 1e6 / session, transportRatio,
                transportRatios[transportRatios.size() / 4], transportRatios[transportRatios.size() * 3 / 4],
                transportRatios.size());
    std::printf(
        "receive path: floor (the same changes, no session) %.3f s, through the session %.3f s: ratio %.2f "
        "(target >= 0.8)\n",
        stored, received, stored / received);
    const bool ok = transportRatio >= 0.5 && stored / received >= 0.8;
    std::printf("%s\n", ok ? "PASS" : "BELOW TARGET");
    ui::removeMainQueueExecutor();
    return ok ? 0 : 1;
}

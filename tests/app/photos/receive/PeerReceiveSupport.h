#pragma once
// The receive screens in a launched clinic, and a sending device in this process for the protocol's
// corner cases (the end-to-end tests use the peer-send program instead).
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/photos/albums/PhotoAlbumScan.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "app/photos/receive/PeerListViewController.h"
#include "app/photos/receive/PeerTransferState.h"
#include "app/photos/receive/RcvViewController.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/peer/PeerBrowser.h"
#include "platform/peer/PeerSession.h"
#include "platform/photos/PhotoLibrary.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/support/ManualAnimationClock.h"
#include "tests/support/Photographs.h"

namespace receivetest {

// A small JPEG, different for each seed.
inline QByteArray jpeg(int seed, int w = 64, int h = 48) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 4 + seed * 37) & 255, (y * 5 + seed * 11) & 255, (seed * 53) & 255));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 90);
    return bytes;
}

// A small JPEG whose frame header claims another size (a header no decoder can fill).
inline QByteArray jpegClaiming(int width, int height) {
    QByteArray bytes = jpeg(0, 8, 8);
    const int sof = int(bytes.indexOf(QByteArray("\xFF\xC0", 2)));
    if (sof < 0) return {};
    bytes[sof + 5] = char(height >> 8);
    bytes[sof + 6] = char(height);
    bytes[sof + 7] = char(width >> 8);
    bytes[sof + 8] = char(width);
    return bytes;
}

inline foundation::Data toData(const QByteArray& bytes) {
    return foundation::Data(bytes.begin(), bytes.end());
}

inline std::vector<photos::Asset> albumAssets(const std::string& title) {
    auto library = photos::PhotoLibrary::shared();
    std::vector<photos::Asset> out;
    for (const auto& album : library->albumsWithTitle(title))
        for (const auto& a : library->assetsInAlbum(album))
            out.push_back(a);
    return out;
}

inline QByteArray bytesOf(const photos::Asset& asset) {
    auto data = photos::PhotoLibrary::shared()->imageData(asset);
    return data ? QByteArray(reinterpret_cast<const char*>(data->data()), qsizetype(data->size()))
                : QByteArray();
}

// Generous bounds for waits on events: they end as soon as the event comes, and only a machine
// under heavy load comes near them.
inline constexpr int kEventWaitMs = 30000;

// Lets the main queue run everything queued before this call (a marker task queued last has run),
// so a test can tell that something did not happen without waiting on the clock.
inline bool settleMainQueue() {
    auto ran = std::make_shared<bool>(false);
    foundation::SerialQueue::main()->async([ran] { *ran = true; });
    return QTest::qWaitFor([ran] { return *ran; }, kEventWaitMs);
}

// The clinic launched on a fresh home, with the receive screen of a patient open. The HUD's time
// stands still, so a status stays to be read however long the filing after it takes.
struct ReceiveScreen {
    registtest::RegistApp app;
    testsupport::ManualAnimationClock animation;
    std::shared_ptr<PeerListViewController> screen;
    QTemporaryDir shots;

    ReceiveScreen() {
        foundation::UserDefaults::standard()->setObject(foundation::Value(0), peer::kPeerDiscoveryPortKey);
        PeerTransferState::shared().reset();
    }
    ~ReceiveScreen() {
        if (screen && screen->sessionHelper()) screen->sessionHelper()->stopAdvertise();
        screen.reset();
        PeerTransferState::shared().reset();
        photoalbums::PhotoAlbumScan::setSettleSeconds(0.8);
    }

    std::shared_ptr<RcvViewController> openStart() {
        auto menu = app.launched.navigation()->viewControllers().front();
        auto* button = menu->view()->findChild<QPushButton*>("receivePhotoButton");
        if (!button || button->isHidden()) return nullptr;
        button->click();
        return std::dynamic_pointer_cast<RcvViewController>(app.top());
    }

    // From the menu to the receive screen of the patient; null when the gate stops it.
    std::shared_ptr<PeerListViewController> open(const std::string& pid,
                                                 const std::string& name = "clinic-tablet") {
        auto start = openStart();
        if (!start) return nullptr;
        registtest::type(start->patientIDBox(), QString::fromStdString(pid));
        registtest::type(start->displayNameTextField(), QString::fromStdString(name));
        QTest::mouseClick(start->createSessionButton(), Qt::LeftButton);
        screen = std::dynamic_pointer_cast<PeerListViewController>(app.top());
        app.launched.settle(50);
        return screen;
    }

    // The window as it is, to look at: into ZARUVEDEZ_GRAB_DIR when set, else this test's own folder.
    void grab(const QString& name) {
        animation.finish(); // what is shown fully in (the HUD stays: its fade-out is a timer)
        const QByteArray dir = qgetenv("ZARUVEDEZ_GRAB_DIR");
        const QString folder = dir.isEmpty() ? shots.path() : QString::fromLocal8Bit(dir);
        app.launched.window().grab().save(QDir(folder).filePath(name));
    }

    uint16_t discoveryPort() const {
        return screen->sessionHelper()->nearbyServiceAdvertiser()->discoveryPort();
    }
    uint16_t sessionPort() const { return screen->sessionHelper()->nearbyServiceAdvertiser()->sessionPort(); }
};

// A sending device on this thread's event loop.
struct Sender {
    peer::PeerIDPtr me;
    peer::NearbyServiceBrowser browser;
    peer::PeerSession session;
    peer::PeerIDPtr receiver;
    std::deque<std::string> replies;
    std::vector<peer::SessionState> states;

    explicit Sender(const std::string& name = "sender")
        : me(peer::makePeerID(name)), browser(me, "zv-photo-rcv"), session(me) {
        session.onData = [this](const QByteArray& d, const peer::PeerIDPtr&) {
            replies.push_back(d.toStdString());
        };
        session.onStateChange = [this](const peer::PeerIDPtr&, peer::SessionState s) { states.push_back(s); };
    }
    bool connected() const { return !states.empty() && states.back() == peer::SessionState::Connected; }
    bool gone() const { return !states.empty() && states.back() == peer::SessionState::NotConnected; }

    // Finds the receiver at the port and joins its session.
    bool join(uint16_t discoveryPort) {
        std::optional<peer::DiscoveredPeer> found;
        browser.onFoundPeer = [&found](const peer::DiscoveredPeer& p) {
            if (!found) found = p;
        };
        browser.startBrowsingForPeers("127.0.0.1", discoveryPort);
        if (!QTest::qWaitFor([&] { return found.has_value(); }, kEventWaitMs)) return false;
        browser.stopBrowsingForPeers();
        browser.onFoundPeer = nullptr;
        receiver = found->peerID;
        session.invitePeer(*found, kEventWaitMs / 1000.0);
        return QTest::qWaitFor([this] { return connected() || gone(); }, kEventWaitMs) && connected();
    }
    bool send(const QByteArray& data) {
        return session.sendData(data, {receiver}, peer::SendDataMode::Reliable);
    }
    bool text(const std::string& t) { return send(QByteArray::fromStdString(t)); }
    // Waits for the reply; the replies before it are passed over.
    bool expect(const std::string& reply, int ms = kEventWaitMs) {
        const bool ok = QTest::qWaitFor(
            [&] {
                while (!replies.empty() && replies.front() != reply)
                    replies.pop_front();
                return !replies.empty();
            },
            ms);
        if (ok) replies.pop_front();
        return ok;
    }
};

struct Run {
    int exitCode = -1;
    QStringList lines;
    bool has(const QString& line) const { return lines.contains(line); }
};

// peer-send as a second process, started now; this process's loop serves it meanwhile.
struct PeerSendProcess {
    QProcess process;
    int timeoutSeconds;

    PeerSendProcess(uint16_t port, const QStringList& steps, const QString& name = "tablet-b",
                    int timeout = 30)
        : timeoutSeconds(timeout) {
        const QStringList args{"--service", "zv-photo-rcv", "--port",    QString::number(port),
                               "--name",    name,           "--timeout", QString::number(timeout)};
        process.start(ZARUVEDEZ_PEER_SEND, args + steps);
        process.waitForStarted(kEventWaitMs);
    }
    ~PeerSendProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    bool running() const { return process.state() != QProcess::NotRunning; }
    // Waits until it ends (at the latest when its own time-out has passed) and reports.
    Run finish() {
        (void)QTest::qWaitFor([&] { return !running(); }, (timeoutSeconds + 10) * 1000);
        if (running()) {
            process.kill();
            process.waitForFinished();
        }
        Run run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        for (const QByteArray& l : process.readAllStandardOutput().split('\n'))
            if (!l.isEmpty()) run.lines << QString::fromUtf8(l);
        return run;
    }
};

// Runs peer-send against the screen while this process's loop serves it.
inline Run peerSend(uint16_t port, const QStringList& steps, const QString& name = "tablet-b",
                    int timeoutSeconds = 30) {
    return PeerSendProcess(port, steps, name, timeoutSeconds).finish();
}

// Writes the photographs as files for peer-send; returns "file:<path>" steps.
inline QStringList writeJpegs(const QString& dir, const std::vector<QByteArray>& photos) {
    QStringList steps;
    for (size_t i = 0; i < photos.size(); ++i) {
        const QString path = dir + QString("/photo%1.jpg").arg(i + 1);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(photos[i]);
        steps << "file:" + path;
    }
    return steps;
}

// Every status text the HUD shows while it lives; a timer samples it, in nested loops too.
struct HudWatch {
    QTimer timer;
    QStringList texts;
    HudWatch() {
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            const QString t = ZVProgressHUD::sharedView().stringLabel()->text();
            if (texts.isEmpty() || texts.back() != t) texts << t;
        });
        timer.start();
    }
    bool seen(const QString& text) const { return texts.contains(text); }
};

} // namespace receivetest

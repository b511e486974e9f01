// peer-send: the sending device. Browses for a service type at one host, lists the peers found,
// invites one, runs a script of texts and files, and prints every reply and state change.
// Exit status: 0 when the script completed, 1 on usage errors, 2 when no peer was found or the
// invitation was declined, 3 when the session ended or timed out before the script did.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <memory>

#include "platform/peer/PeerBrowser.h"
#include "platform/peer/PeerSession.h"
#include "tools/peer-send/PeerScript.h"

namespace {

void say(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

class Sender : public QObject {
  public:
    Sender(std::string service, std::string name, std::string wanted, std::vector<peersend::Step> steps,
           int timeoutMs, bool listOnly)
        : steps_(std::move(steps)), wanted_(std::move(wanted)), timeoutMs_(timeoutMs), listOnly_(listOnly) {
        me_ = peer::makePeerID(name);
        browser_ = std::make_unique<peer::NearbyServiceBrowser>(me_, service);
        session_ = std::make_unique<peer::PeerSession>(me_);
        browser_->onFoundPeer = [this](const peer::DiscoveredPeer& p) { found(p); };
        browser_->onStartFailed = [this](const std::string& e) { finish(2, "browse failed: " + e); };
        session_->onStateChange = [this](const peer::PeerIDPtr& p, peer::SessionState s) {
            stateChanged(p, s);
        };
        session_->onData = [this](const QByteArray& data, const peer::PeerIDPtr&) { received(data); };
        deadline_.setSingleShot(true);
        connect(&deadline_, &QTimer::timeout, this, [this] {
            if (listOnly_)
                finish(foundAny_ ? 0 : 2, foundAny_ ? "" : "no peer found");
            else
                finish(peer_ ? 3 : 2, peer_ ? "timed out" : "no peer found");
        });
    }

    void start(const std::string& host, uint16_t port) {
        deadline_.start(timeoutMs_);
        browser_->startBrowsingForPeers(host, port);
    }

  private:
    void found(const peer::DiscoveredPeer& p) {
        foundAny_ = true;
        say("found: " + p.peerID->displayName() + " " + p.host + ":" + std::to_string(p.port));
        if (listOnly_ || peer_) return;
        if (!wanted_.empty() && p.peerID->displayName() != wanted_) return;
        peer_ = p.peerID;
        browser_->stopBrowsingForPeers();
        say("invite: " + p.peerID->displayName());
        session_->invitePeer(p, timeoutMs_ / 1000.0);
    }

    void stateChanged(const peer::PeerIDPtr& p, peer::SessionState s) {
        say(std::string("state: ") + peer::stateName(s) + " " + p->displayName());
        if (s == peer::SessionState::Connected) {
            connected_ = true;
            next();
        } else if (s == peer::SessionState::NotConnected && !done_) {
            finish(connected_ ? 3 : 2, connected_ ? "session ended before the script did" : "declined");
        }
    }

    void received(const QByteArray& data) {
        say("reply: " + data.toStdString());
        replies_.push_back(data.toStdString());
        if (waitingFor_) next();
    }

    // Runs steps until one has to wait.
    void next() {
        waitingFor_ = false;
        while (index_ < steps_.size()) {
            const auto& step = steps_[index_];
            switch (step.kind) {
            case peersend::Step::Text:
                if (!send(QByteArray::fromStdString(step.argument))) return;
                say("sent: text " + step.argument);
                break;
            case peersend::Step::File: {
                QFile file(QString::fromStdString(step.argument));
                if (!file.open(QIODevice::ReadOnly)) return finish(1, "cannot read " + step.argument);
                const QByteArray bytes = file.readAll();
                if (!send(bytes)) return;
                say("sent: file " + step.argument + " (" + std::to_string(bytes.size()) + " bytes)");
                break;
            }
            case peersend::Step::Expect: {
                while (!replies_.empty() && replies_.front() != step.argument)
                    replies_.pop_front();
                if (replies_.empty()) {
                    waitingFor_ = true;
                    return;
                }
                replies_.pop_front();
                say("got: " + step.argument);
                break;
            }
            case peersend::Step::Wait:
                ++index_;
                QTimer::singleShot(step.milliseconds, this, [this] { next(); });
                return;
            case peersend::Step::Bye:
                ++index_;
                return finish(0, "");
            }
            ++index_;
        }
        finish(0, "");
    }

    bool send(const QByteArray& data) {
        std::string error;
        if (session_->sendData(data, {peer_}, peer::SendDataMode::Reliable, &error)) return true;
        finish(3, "send failed: " + error);
        return false;
    }

    void finish(int code, const std::string& why) {
        if (done_) return;
        done_ = true;
        deadline_.stop();
        if (!why.empty()) say("error: " + why);
        if (code == 0 && !listOnly_) say("done");
        // Let what is queued go out before saying goodbye.
        auto* flush = new QTimer(this);
        connect(flush, &QTimer::timeout, this, [this, flush, code] {
            if (session_->bytesToWrite() > 0 && ++flushTicks_ < 6000) return;
            flush->stop();
            session_->disconnect();
            QTimer::singleShot(50, qApp, [code] { QCoreApplication::exit(code); });
        });
        flush->start(5);
    }

    std::vector<peersend::Step> steps_;
    std::string wanted_;
    int timeoutMs_;
    bool listOnly_;
    peer::PeerIDPtr me_, peer_;
    std::unique_ptr<peer::NearbyServiceBrowser> browser_;
    std::unique_ptr<peer::PeerSession> session_;
    QTimer deadline_;
    std::deque<std::string> replies_;
    size_t index_ = 0;
    bool waitingFor_ = false, connected_ = false, done_ = false, foundAny_ = false;
    int flushTicks_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Sends texts and photographs to a receiving device.");
    parser.addHelpOption();
    QCommandLineOption service("service", "Service type to browse for.", "type");
    QCommandLineOption host("host", "Host to ask (default 127.0.0.1).", "address", "127.0.0.1");
    QCommandLineOption port("port", "Its discovery port (default 47810).", "port", "47810");
    QCommandLineOption name("name", "This device's display name.", "name", "peer-send");
    QCommandLineOption peerName("peer", "Invite the peer of this display name (default: the first found).",
                                "name");
    QCommandLineOption list("list", "Only list the peers found.");
    QCommandLineOption timeout("timeout", "Seconds to wait for the whole script (default 600).", "seconds",
                               "600");
    QCommandLineOption script("script", "Read the steps from this file, one per line.", "file");
    parser.addOptions({service, host, port, name, peerName, list, timeout, script});
    parser.addPositionalArgument("steps", "Steps: text:<TEXT> file:<PATH> expect:<TEXT> wait:<MS> bye");
    parser.process(app);

    if (!parser.isSet(service)) {
        std::fprintf(stderr, "peer-send: --service is required\n");
        return 1;
    }
    std::vector<std::string> lines;
    if (parser.isSet(script)) {
        QFile file(parser.value(script));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            std::fprintf(stderr, "peer-send: cannot read the script\n");
            return 1;
        }
        for (const QByteArray& l : file.readAll().split('\n'))
            lines.push_back(l.toStdString());
    }
    for (const QString& a : parser.positionalArguments())
        lines.push_back(a.toStdString());
    std::string error;
    auto steps = peersend::parseScript(lines, error);
    if (!steps) {
        std::fprintf(stderr, "peer-send: %s\n", error.c_str());
        return 1;
    }
    bool ok = false;
    const int portValue = parser.value(port).toInt(&ok);
    if (!ok || portValue < 1 || portValue > 65535) {
        std::fprintf(stderr, "peer-send: bad port\n");
        return 1;
    }
    const double seconds = parser.value(timeout).toDouble(&ok);
    if (!ok || seconds <= 0) {
        std::fprintf(stderr, "peer-send: bad timeout\n");
        return 1;
    }
    Sender sender(parser.value(service).toStdString(), parser.value(name).toStdString(),
                  parser.value(peerName).toStdString(), std::move(*steps), int(seconds * 1000),
                  parser.isSet(list));
    sender.start(parser.value(host).toStdString(), uint16_t(portValue));
    return QCoreApplication::exec();
}

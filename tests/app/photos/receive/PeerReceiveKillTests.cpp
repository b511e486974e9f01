// Killing the clinic in the middle of a transfer leaves the photo library consistent.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <catch2/catch.hpp>
#include <csignal>
#include <random>

#include "platform/photos/PhotoIndex.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"

namespace {
// A photograph of noise: large enough that a transfer takes a while.
QByteArray noisyJpeg(int seed) {
    QImage img(1200, 900, QImage::Format_RGB32);
    std::mt19937 rng{uint32_t(seed)};
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = rng();
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 95);
    return bytes;
}
} // namespace

TEST_CASE("a clinic killed mid-transfer leaves every indexed photograph whole", "[photos][peer][kill]") {
    QTemporaryDir home, files;
    std::vector<QByteArray> photos;
    for (int i = 0; i < 24; ++i)
        photos.push_back(noisyJpeg(i));
    QStringList steps{"text:Start,24", "expect:Readiness"};
    steps += receivetest::writeJpegs(files.path(), photos);
    steps << "text:End"
          << "expect:Completion";

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZARUVEDEZ_HOME", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess clinic;
    clinic.setProcessEnvironment(env);
    clinic.start(ZARUVEDEZ_RECEIVE_SESSION, {});
    REQUIRE(clinic.waitForStarted(5000));
    REQUIRE(QTest::qWaitFor([&] { return clinic.canReadLine() || clinic.state() == QProcess::NotRunning; },
                            20000));
    const QByteArray portLine = clinic.readLine().trimmed();
    REQUIRE(portLine.startsWith("port="));

    QProcess sender;
    sender.start(ZARUVEDEZ_PEER_SEND,
                 QStringList{"--service", "zv-photo-rcv", "--port", portLine.mid(5), "--timeout", "60"} +
                     steps);
    REQUIRE(sender.waitForStarted(5000));
    QByteArray out;
    REQUIRE(QTest::qWaitFor(
        [&] {
            out += sender.readAllStandardOutput();
            return out.contains("reply: Progress,6") || sender.state() == QProcess::NotRunning;
        },
        60000));
    REQUIRE(out.contains("reply: Progress,6"));
    ::kill(pid_t(clinic.processId()), SIGKILL);
    clinic.waitForFinished(5000);
    sender.waitForFinished(20000);
    CHECK(sender.exitCode() != 0); // the script did not complete

    std::string error;
    auto index = photos::PhotoIndex::open(home.filePath("PhotoLibrary/Photos.sqlite").toStdString(), error);
    REQUIRE(index);
    const auto assets = index->allAssets();
    CHECK(assets.size() >= 1);
    CHECK(assets.size() <= photos.size());
    for (const auto& record : assets) {
        QFile file(home.filePath("PhotoLibrary/" + QString::fromStdString(record.file)));
        REQUIRE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        CHECK(bytes.size() == record.byteSize);
        CHECK(std::find(photos.begin(), photos.end(), bytes) != photos.end()); // one of those sent, whole
    }
}

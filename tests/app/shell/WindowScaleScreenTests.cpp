// The window on real X screens of a laptop's and a desktop monitor's size: each case starts its own
// Xvfb (skipped with a message where there is none) and runs a scripted clinic session in it.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <catch2/catch.hpp>
#include <map>

#include "platform/foundation/UserDefaults.h"
#include "platform/ui/WindowScale.h"
#include "tests/app/shell/ScreenShot.h"
#include "tests/support/TestHome.h"

namespace {

// An X server of its own on a display number it picks itself; stopped with the object.
class VirtualScreen {
  public:
    explicit VirtualScreen(const QString& size) {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) return;
        server_.start(xvfb, {"-displayfd", "1", "-screen", "0", size + "x24", "-br", "-nolisten", "tcp"});
        if (!server_.waitForStarted(5000)) return;
        while (!server_.canReadLine() && server_.waitForReadyRead(10000)) {
        }
        bool ok = false;
        const int n = server_.readLine().trimmed().toInt(&ok);
        if (ok) display_ = QString(":%1").arg(n);
    }
    ~VirtualScreen() {
        if (server_.state() == QProcess::NotRunning) return;
        server_.terminate();
        if (!server_.waitForFinished(5000)) server_.kill();
        server_.waitForFinished(2000);
    }
    const QString& display() const { return display_; }

  private:
    QProcess server_;
    QString display_;
};

struct Session {
    std::map<std::string, QString> values;
    QString shots;
    QString output;
    int exitCode = -1;

    QRect rect(const std::string& key) const {
        auto it = values.find(key);
        if (it == values.end()) return {};
        auto p = it->second.split(',');
        return p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()) : QRect();
    }
    double number(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? 0 : it->second.toDouble();
    }
    QString text(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? QString() : it->second;
    }
};

// Runs the scripted session on the screen; the home is the test's own.
Session runSession(const VirtualScreen& screen, const QString& shots,
                   const QStringList& launchArguments = {}) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", screen.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("QT_SCALE_FACTOR");
    env.remove("QT_SCREEN_SCALE_FACTORS");
    // X's keyboard library reads its keymap names with strndup past their end, within the buffer it
    // owns; a sanitizer build's strict string checks would stop the session there, not in our code.
    if (env.contains("ASAN_OPTIONS"))
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":strict_string_checks=0");
    p.setProcessEnvironment(env);
    // The app's log goes beside the grabs (read from a pipe it could fill one and stall the session).
    QDir().mkpath(shots);
    p.setStandardErrorFile(shots + "/session.log");
    p.start(ZARUVEDEZ_SCALED_SESSION, QStringList{shots} + launchArguments);
    p.waitForFinished(60000);
    Session s;
    s.shots = shots;
    s.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    const QByteArray out = p.readAllStandardOutput();
    s.output = QString::fromUtf8(out);
    for (const QByteArray& line : out.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0) s.values[line.left(eq).toStdString()] = QString::fromUtf8(line.mid(eq + 1));
    }
    return s;
}

QString shotFolder(const std::string& home, const char* name) {
    return QString::fromStdString(home) + "/shots-" + name;
}

bool inside(const QRect& outer, const QRect& inner) {
    return !inner.isEmpty() && outer.contains(inner);
}

} // namespace

TEST_CASE("the window fits the screen it opens on", "[shell][scale][xvfb]") {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) {
        WARN("Xvfb is not installed: the window-scale checks on a real screen are skipped");
        return;
    }
    testsupport::TempHome home;

    SECTION("a 1366 x 768 laptop screen shows the whole canvas, and taps land where things are drawn") {
        VirtualScreen screen("1366x768");
        REQUIRE_FALSE(screen.display().isEmpty());
        const Session s = runSession(screen, shotFolder(home.path(), "laptop"));
        INFO(s.output.toStdString());
        REQUIRE(s.exitCode == 0);
        const QRect screenRect(0, 0, 1366, 768);
        const double k = ui::fittingWindowScale(screenRect);
        CHECK(k < 1);
        CHECK(s.number("scale") == Approx(k));
        // The widgets keep working in canvas points.
        CHECK(s.rect("windowSize") == QRect(0, 0, 768, 1024));

        // The grab is of the screen's pixels; the window in it is the canvas scaled as a whole.
        CHECK(s.rect("menuShot") == screenRect);
        const QRect drawn = s.rect("drawn");
        CHECK(inside(screenRect, drawn));
        CHECK(drawn.width() == Approx(768 * k).margin(1));
        CHECK(drawn.height() == Approx(1024 * k).margin(1));

        // The registration form down to its last field and the bar buttons, all on the screen.
        CHECK(s.text("afterMenuTap") == "patientRegistViewTop");
        CHECK(s.rect("formDrawn") == drawn);
        CHECK(inside(drawn, s.rect("lastFieldRect")));
        CHECK(inside(drawn, s.rect("barButtons")));
        const QImage form(s.shots + "/form.png");
        REQUIRE(form.size() == screenRect.size());
        const QRect lastField = s.rect("lastFieldRect");
        CHECK(form.pixelColor(lastField.center()) != QColor(Qt::black));

        // A tap at the drawn position of the lowest field that takes typing focuses that field.
        REQUIRE(s.text("typedField") == "bizText");
        CHECK(inside(drawn, s.rect("typedFieldRect")));
        CHECK(s.text("focused") == "bizText");

        // A tap on the last field opens the date popover at it: above it (its arrow points down),
        // overlapping it across.
        const QRect pop = s.rect("popover");
        REQUIRE_FALSE(pop.isEmpty());
        CHECK(inside(drawn, pop));
        CHECK(pop.bottom() <= lastField.top());
        CHECK(lastField.top() - pop.bottom() < 30 * k);
        CHECK(pop.left() < lastField.right());
        CHECK(pop.right() > lastField.left());
        const QImage withPopover(s.shots + "/popover.png");
        CHECK(withPopover.copy(pop) != form.copy(pop));
        // Its wheels' lists open inside the window too, and a tap beside the popover puts it away.
        CHECK(s.text("comboPopup") == "1");
        CHECK(s.text("popoverAfterTapBeside") == "closed");
    }

    SECTION("a 1920 x 1200 monitor shows the window at 1:1") {
        VirtualScreen screen("1920x1200");
        REQUIRE_FALSE(screen.display().isEmpty());
        const Session s = runSession(screen, shotFolder(home.path(), "desktop"));
        INFO(s.output.toStdString());
        REQUIRE(s.exitCode == 0);
        CHECK(s.number("scale") == 1);
        CHECK(s.rect("drawn").size() == QSize(768, 1024));
        CHECK(s.text("focused") == "bizText");
    }

    SECTION("the launch argument sets the factor, over the user default") {
        foundation::UserDefaults::standard()->setObject(foundation::Value(0.75), ui::kWindowScaleKey);
        VirtualScreen screen("1920x1200");
        REQUIRE_FALSE(screen.display().isEmpty());
        const Session s = runSession(screen, shotFolder(home.path(), "argument"), {"-ZVWindowScale", "0.5"});
        INFO(s.output.toStdString());
        REQUIRE(s.exitCode == 0);
        CHECK(s.number("scale") == 0.5);
        CHECK(s.rect("drawn").size() == QSize(384, 512));
        CHECK(s.text("focused") == "bizText");
    }

    SECTION("the user default sets the factor, above 1:1 when asked") {
        foundation::UserDefaults::standard()->setObject(foundation::Value("1.25"), ui::kWindowScaleKey);
        VirtualScreen screen("1920x1400");
        REQUIRE_FALSE(screen.display().isEmpty());
        const Session s = runSession(screen, shotFolder(home.path(), "default"));
        INFO(s.output.toStdString());
        REQUIRE(s.exitCode == 0);
        CHECK(s.number("scale") == 1.25);
        CHECK(s.rect("drawn").size() == QSize(960, 1280));
        CHECK(s.text("focused") == "bizText");
    }
}

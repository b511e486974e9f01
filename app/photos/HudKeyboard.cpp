#include "app/photos/HudKeyboard.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QRegularExpression>
#include <QThread>
#include <vector>

#include "platform/ui/Keyboard.h"

namespace hud {

namespace {
double frameHeight(const foundation::Value& v) {
    if (auto a = v.array(); a && a->size() == 4) return (*a)[3].doubleValue();
    if (v.dictionary()) return ui::rectFromDictionary(v).height();
    if (auto s = v.string()) {
        static const QRegularExpression number(R"([-+]?\d*\.?\d+(?:[eE][-+]?\d+)?)");
        std::vector<double> n;
        for (auto it = number.globalMatch(QString::fromStdString(*s)); it.hasNext();)
            n.push_back(it.next().captured().toDouble());
        if (n.size() == 4) return n[3];
    }
    return 0;
}
} // namespace

double keyboardHeight(const foundation::Dictionary& info) {
    auto it = info.find(kKeyboardFrameBegin);
    if (it == info.end()) it = info.find(kKeyboardFrameEnd);
    return it == info.end() ? 0 : frameHeight(it->second);
}

void onGuiThread(std::function<void()> fn) {
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        fn();
    else
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

} // namespace hud

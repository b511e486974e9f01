#include "app/photos/hud/HudKeyboard.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
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

GuiObservers::GuiObservers() : context_(std::make_unique<QObject>()) {}

GuiObservers::~GuiObservers() {
    tokens_.clear(); // before the context: a handler running elsewhere still points at it
}

void GuiObservers::add(const char* name, Handler handler) {
    // The context is alive wherever the handler runs: the tokens end (waiting for handlers running on
    // other threads) before the context does.
    QObject* context = context_.get();
    auto shared = std::make_shared<Handler>(std::move(handler));
    tokens_.push_back(foundation::NotificationCenter::defaultCenter()->addObserver(
        name, nullptr, nullptr, [context, shared](const foundation::Notification& n) {
            if (QThread::currentThread() == context->thread()) {
                (*shared)(n);
                return;
            }
            auto* app = QCoreApplication::instance();
            if (!app) return; // no GUI thread left to run it on
            QMetaObject::invokeMethod(
                app,
                [alive = QPointer<QObject>(context), shared, n] {
                    if (alive) (*shared)(n);
                },
                Qt::QueuedConnection);
        }));
}

void GuiObservers::clear() {
    tokens_.clear();
    context_ = std::make_unique<QObject>(); // hops queued for the old one find it gone
}

} // namespace hud

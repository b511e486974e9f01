#include "platform/ui/Tag.h"

#include <QVariant>
#include <QWidget>

namespace ui {

int tag(const QObject* view) {
    if (!view) return 0;
    QVariant v = view->property(kTagProperty);
    bool ok = false;
    int t = v.toInt(&ok);
    return ok ? t : 0;
}

void setTag(QObject* view, int t) {
    if (view) view->setProperty(kTagProperty, t);
}

QWidget* viewWithTag(QWidget* root, int t) {
    if (!root) return nullptr;
    if (tag(root) == t) return root;
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow()) continue;
        if (QWidget* found = viewWithTag(w, t)) return found;
    }
    return nullptr;
}

} // namespace ui

// The start screens of the forms and the photo menu at the clinic's 768-point width: with every choice
// shown at once (the worst of their toggles), no control overlaps another, runs off the screen or is
// squeezed below the size its text needs.
#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <catch2/catch.hpp>
#include <cstdlib>
#include <vector>

#include "app/MainStoryboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Storyboard.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

// The controls a user reads or taps: labels with text, fields and buttons.
std::vector<QWidget*> controls(QWidget* view) {
    std::vector<QWidget*> found;
    for (QWidget* w : view->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(view)) continue;
        auto* label = qobject_cast<QLabel*>(w);
        if ((label && !label->text().isEmpty()) || qobject_cast<QLineEdit*>(w) ||
            qobject_cast<QAbstractButton*>(w))
            found.push_back(w);
    }
    return found;
}

QString describe(QWidget* w, QWidget* view) {
    const QRect r(w->mapTo(view, QPoint(0, 0)), w->size());
    return QString("%1 (%2,%3 %4x%5)")
        .arg(w->objectName())
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

} // namespace

TEST_CASE("Start screens lay out without overlaps at the clinic's width", "[shell][layout]") {
    const char* scene = GENERATE("inquiryViewTop", "certificateViewTop", "LetterViewTop",
                                 "patientRegistViewTop", "selectPhotosViewTop");
    INFO(scene);
    registtest::RegistApp app;
    auto screen = ui::Storyboard::named(app::kMainStoryboardName)->instantiateViewController(scene);
    REQUIRE(screen);
    app.launched.navigation()->pushViewController(screen, false);
    app.launched.settle(10);
    QWidget* view = screen->view();
    REQUIRE(view->width() == 768);
    for (auto* button : view->findChildren<QAbstractButton*>())
        button->setVisible(true);
    if (view->layout()) view->layout()->activate();
    app.launched.settle(10);
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        view->grab().save(QDir(dir).filePath(QString("start-%1.png").arg(scene)));

    const auto shown = controls(view);
    REQUIRE(shown.size() >= 3);
    for (QWidget* w : shown) {
        const QRect r(w->mapTo(view, QPoint(0, 0)), w->size());
        INFO(describe(w, view).toStdString());
        CHECK(view->rect().contains(r));
        // Its text has the room it needs.
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w))
            CHECK(w->width() >= w->minimumSizeHint().width());
        if (auto* field = qobject_cast<QLineEdit*>(w)) CHECK(field->width() >= field->minimumWidth());
    }
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j) {
            // A label inside a button is part of it.
            if (shown[i]->isAncestorOf(shown[j]) || shown[j]->isAncestorOf(shown[i])) continue;
            const QRect a(shown[i]->mapTo(view, QPoint(0, 0)), shown[i]->size());
            const QRect b(shown[j]->mapTo(view, QPoint(0, 0)), shown[j]->size());
            INFO(describe(shown[i], view).toStdString() << " and " << describe(shown[j], view).toStdString());
            CHECK_FALSE(a.intersects(b));
        }
}

#pragma once
// Shared helpers of the HUD tests: manual animation time, a clinic-like screen hosting the HUD, and
// a log of the HUD's notifications.
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <catch2/catch.hpp>
#include <memory>
#include <string>
#include <vector>

#include "app/photos/hud/ZVProgressHUD.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AnimationClock.h"
#include "tests/support/ManualAnimationClock.h"

namespace Catch {
template <> struct StringMaker<QPoint> {
    static std::string convert(const QPoint& p) {
        return "(" + std::to_string(p.x()) + ", " + std::to_string(p.y()) + ")";
    }
};
template <> struct StringMaker<QPointF> {
    static std::string convert(const QPointF& p) {
        return "(" + std::to_string(p.x()) + ", " + std::to_string(p.y()) + ")";
    }
};
template <> struct StringMaker<QSize> {
    static std::string convert(const QSize& s) {
        return std::to_string(s.width()) + " x " + std::to_string(s.height());
    }
};
template <> struct StringMaker<QSizeF> {
    static std::string convert(const QSizeF& s) {
        return std::to_string(s.width()) + " x " + std::to_string(s.height());
    }
};
template <> struct StringMaker<QRect> {
    static std::string convert(const QRect& r) {
        return "(" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ", " + std::to_string(r.width()) +
               ", " + std::to_string(r.height()) + ")";
    }
};
template <> struct StringMaker<QRectF> {
    static std::string convert(const QRectF& r) {
        return "(" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ", " + std::to_string(r.width()) +
               ", " + std::to_string(r.height()) + ")";
    }
};
} // namespace Catch

namespace hudtest {

using ManualClock = testsupport::ManualAnimationClock;

// A registration screen of the main window's size: header, fields, a button; the HUD attaches to it.
struct ClinicScreen {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QPushButton* button = nullptr;

    ClinicScreen() {
        window->setFixedSize(768, 1024);
        window->setAutoFillBackground(true);
        QPalette pal = window->palette();
        pal.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF7));
        window->setPalette(pal);
        auto* column = new QVBoxLayout(window.get());
        column->setContentsMargins(0, 0, 0, 0);
        auto* header = new QLabel("患者登録");
        header->setAlignment(Qt::AlignCenter);
        header->setFixedHeight(64);
        header->setStyleSheet("background:#1f6fb2; color:white; font-size:22px;");
        column->addWidget(header);
        auto* form = new QVBoxLayout;
        form->setContentsMargins(60, 40, 60, 40);
        for (const char* field : {"氏名", "フリガナ", "生年月日", "電話番号", "住所"}) {
            auto* row = new QHBoxLayout;
            auto* l = new QLabel(field);
            l->setFixedWidth(120);
            l->setStyleSheet("font-size:18px; color:#333;");
            row->addWidget(l);
            auto* edit = new QLineEdit;
            edit->setPlaceholderText(QString(field) + "を入力");
            edit->setFixedHeight(40);
            row->addWidget(edit);
            form->addLayout(row);
        }
        button = new QPushButton("登録");
        button->setFixedHeight(48);
        button->setStyleSheet("background:#2e9d5b; color:white; font-size:20px;");
        form->addWidget(button);
        column->addLayout(form);
        column->addStretch();
        window->show();
        ZVProgressHUD::setHostWindow(window.get());
    }
    ~ClinicScreen() {
        // Leave no HUD behind for the next test, and no host that is about to go.
        auto& clock = ui::AnimationClock::shared();
        if (ZVProgressHUD::isVisible()) ZVProgressHUD::dismiss();
        clock.finishAnimations();
        ZVProgressHUD::setHostWindow(nullptr);
    }
    bool saveGrab(const QString& path) const { return window->grab().save(path); }
};

struct Posted {
    std::string name;
    foundation::Dictionary userInfo;
    const void* object;
};

// Every HUD notification, in order.
struct NotificationLog {
    std::vector<Posted> posted;
    foundation::ObserverPtr token = foundation::NotificationCenter::defaultCenter()->addObserver(
        "", nullptr, nullptr, [this](const foundation::Notification& n) {
            if (n.name.rfind("ZVProgressHUD", 0) == 0) posted.push_back({n.name, n.userInfo, n.object});
        });
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (auto& p : posted)
            out.push_back(p.name);
        return out;
    }
    size_t count(const std::string& name) const {
        size_t n = 0;
        for (auto& p : posted)
            n += p.name == name;
        return n;
    }
    void clear() { posted.clear(); }
};

} // namespace hudtest

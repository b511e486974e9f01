#include <catch2/catch.hpp>

#include <QApplication>
#include <QFocusEvent>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

namespace {

struct KeyboardJournal {
    std::vector<std::string> names;
    std::vector<QRect> frames;
    foundation::ObserverPtr show, hide;
    KeyboardJournal() {
        auto center = foundation::NotificationCenter::defaultCenter();
        auto note = [this](const foundation::Notification& n) {
            names.push_back(n.name == ui::kKeyboardWillShowNotification ? "show" : "hide");
            frames.push_back(ui::keyboardEndFrame(n.userInfo));
        };
        show = center->addObserver(ui::kKeyboardWillShowNotification, nullptr, nullptr, note);
        hide = center->addObserver(ui::kKeyboardWillHideNotification, nullptr, nullptr, note);
    }
};

struct FieldDelegate : ui::TextFieldDelegate, ui::TextViewDelegate {
    std::vector<std::string> calls;
    bool allowBegin = true;
    bool allowDigits = true;
    bool resignOnReturn = true;
    std::vector<std::pair<ui::TextRange, std::string>> changes;

    bool textFieldShouldBeginEditing(ui::TextField&) override {
        calls.push_back("shouldBegin");
        return allowBegin;
    }
    void textFieldDidBeginEditing(ui::TextField&) override { calls.push_back("didBegin"); }
    void textFieldDidEndEditing(ui::TextField&) override { calls.push_back("didEnd"); }
    bool textFieldShouldReturn(ui::TextField& f) override {
        calls.push_back("shouldReturn");
        if (resignOnReturn) f.resignFirstResponder();
        return true;
    }
    bool textFieldShouldChangeCharactersInRange(ui::TextField&, ui::TextRange r,
                                                const std::string& s) override {
        changes.push_back({r, s});
        return allowDigits || s.find_first_of("0123456789") == std::string::npos;
    }
    bool textViewShouldChangeTextInRange(ui::TextView&, ui::TextRange r, const std::string& s) override {
        changes.push_back({r, s});
        return s != "\n";
    }
    void textViewDidChange(ui::TextView&) override { calls.push_back("viewDidChange"); }
    void textViewDidEndEditing(ui::TextView&) override { calls.push_back("viewDidEnd"); }
};

// A shown, active window with two fields and a text view.
struct Page {
    QWidget window;
    ui::TextField* a;
    ui::TextField* b;
    ui::TextView* v;
    Page() {
        auto* layout = new QVBoxLayout(&window);
        a = new ui::TextField;
        b = new ui::TextField;
        v = new ui::TextView;
        layout->addWidget(a);
        layout->addWidget(b);
        layout->addWidget(v);
        window.resize(300, 300);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        (void)QTest::qWaitForWindowActive(&window);
    }
};

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

TEST_CASE("A change's range leaves out the common head and tail", "[ui][text]") {
    QString rep;
    auto r = ui::changedRange("0123", "01x23", &rep);
    CHECK((r.location == 2 && r.length == 0 && rep == "x"));
    r = ui::changedRange("abcdef", "abef", &rep);
    CHECK((r.location == 2 && r.length == 2 && rep.isEmpty()));
    r = ui::changedRange("aaa", "aaaa", &rep);
    CHECK((r.location == 3 && r.length == 0 && rep == "a"));
    r = ui::changedRange("", "東京", &rep);
    CHECK((r.location == 0 && r.length == 0 && rep == "東京"));
}

TEST_CASE("Text fields ask their delegate and drive the keyboard", "[ui][text]") {
    Page page;
    auto delegate = std::make_shared<FieldDelegate>();
    page.a->setDelegate(delegate);
    page.b->setDelegate(delegate);
    KeyboardJournal keyboard;

    SECTION("a refused begin keeps the field from editing and the keyboard away") {
        delegate->allowBegin = false;
        QTest::mouseClick(page.a, Qt::LeftButton);
        settle();
        CHECK(delegate->calls == std::vector<std::string>{"shouldBegin"});
        CHECK_FALSE(page.a->isEditing());
        CHECK_FALSE(page.a->hasFocus());
        CHECK(keyboard.names.empty());
        // Asked again on the next tap.
        QTest::mouseClick(page.a, Qt::LeftButton);
        CHECK(delegate->calls.size() == 2);
    }
    SECTION("editing shows the keyboard with its end frame; Return ends it and hides the keyboard") {
        QTest::mouseClick(page.a, Qt::LeftButton);
        CHECK(page.a->isEditing());
        CHECK(delegate->calls == std::vector<std::string>{"shouldBegin", "didBegin"});
        REQUIRE(keyboard.names == std::vector<std::string>{"show"});
        CHECK(keyboard.frames[0] == QRect(0, 1024 - ui::kKeyboardHeight, 768, ui::kKeyboardHeight));
        QTest::keyClick(page.a, Qt::Key_Return);
        settle();
        CHECK(delegate->calls ==
              std::vector<std::string>{"shouldBegin", "didBegin", "shouldReturn", "didEnd"});
        CHECK(keyboard.names == std::vector<std::string>{"show", "hide"});
        CHECK(keyboard.frames[1].top() == 1024);
        CHECK_FALSE(page.a->isEditing());
    }
    SECTION("moving from one field to the next shows the keyboard again and never hides it") {
        QTest::mouseClick(page.a, Qt::LeftButton);
        QTest::mouseClick(page.b, Qt::LeftButton);
        settle();
        CHECK(keyboard.names == std::vector<std::string>{"show", "show"});
        CHECK(page.b->isEditing());
        CHECK_FALSE(page.a->isEditing());
        page.b->resignFirstResponder();
        settle();
        CHECK(keyboard.names == std::vector<std::string>{"show", "show", "hide"});
    }
    SECTION("every typed change passes the delegate; a refused one is undone") {
        page.a->setReturnKeyType(ui::ReturnKeyType::Done);
        CHECK(page.a->returnKeyType() == ui::ReturnKeyType::Done);
        delegate->allowDigits = false;
        page.a->becomeFirstResponder();
        QTest::keyClicks(page.a, "ab1c");
        CHECK(page.a->text() == "abc");
        REQUIRE(delegate->changes.size() == 4);
        CHECK(delegate->changes[2].first.location == 2);
        CHECK(delegate->changes[2].second == "1");
        QTest::keyClick(page.a, Qt::Key_Backspace);
        CHECK(page.a->text() == "ab");
        CHECK(delegate->changes.back().first.location == 2);
        CHECK(delegate->changes.back().first.length == 1);
        CHECK(delegate->changes.back().second.empty());
        // Code setting the text is not a user's change.
        const auto asked = delegate->changes.size();
        page.a->setStdText("9");
        CHECK(delegate->changes.size() == asked);
    }
    SECTION("a field that goes away while editing does not leave the keyboard up") {
        auto* c = new ui::TextField(&page.window);
        c->show();
        c->becomeFirstResponder();
        CHECK(ui::Keyboard::shared().activeInput() == c);
        delete c;
        settle();
        CHECK(keyboard.names.back() == "hide");
        CHECK_FALSE(ui::Keyboard::shared().isVisible());
    }
}

TEST_CASE("Text views report their changes and may refuse Return", "[ui][text]") {
    Page page;
    auto delegate = std::make_shared<FieldDelegate>();
    page.v->setDelegate(delegate);
    KeyboardJournal keyboard;
    QTest::mouseClick(page.v->viewport(), Qt::LeftButton);
    CHECK(page.v->isEditing());
    CHECK(keyboard.names == std::vector<std::string>{"show"});
    QTest::keyClicks(page.v, "ab");
    QTest::keyClick(page.v, Qt::Key_Return);
    CHECK(page.v->toPlainText() == "ab");
    CHECK(delegate->changes.back().second == "\n");
    CHECK(std::count(delegate->calls.begin(), delegate->calls.end(), "viewDidChange") == 2);
    page.v->resignFirstResponder();
    settle();
    CHECK(delegate->calls.back() == "viewDidEnd");
    CHECK(keyboard.names == std::vector<std::string>{"show", "hide"});
}

TEST_CASE("A refused line break leaves a one-line text view showing its text", "[ui][text]") {
    // A box one line high with no scroll bars, like the forms' number boxes: the refused break must
    // not leave the text scrolled out of the box.
    QWidget window;
    auto* box = new ui::TextView(&window);
    // The forms' face, named here: an earlier test's application may have changed the default one.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(18);
    box->setFont(font);
    // A line and the document's margins fill the box to the last pixel.
    const int margins = 2 * int(box->document()->documentMargin()) + 2 * box->frameWidth();
    box->setGeometry(10, 10, 60, QFontMetrics(font).height() + margins);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window.resize(100, 60);
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    (void)QTest::qWaitForWindowActive(&window);
    // Return finishes the box, as on the forms.
    struct EndOnReturn : ui::TextViewDelegate {
        bool textViewShouldChangeTextInRange(ui::TextView& view, ui::TextRange,
                                             const std::string& s) override {
            if (s != "\n") return true;
            view.resignFirstResponderLater();
            return false;
        }
    };
    auto delegate = std::make_shared<EndOnReturn>();
    box->setDelegate(delegate);
    QTest::mouseClick(box->viewport(), Qt::LeftButton);
    QTest::keyClicks(box, "26");
    const QPoint scrolled(box->horizontalScrollBar()->value(), box->verticalScrollBar()->value());
    QTest::keyClick(box, Qt::Key_Return);
    settle();
    CHECK_FALSE(box->isEditing());
    CHECK(box->toPlainText() == "26");
    CHECK(box->textCursor().position() == 2);
    CHECK(QPoint(box->horizontalScrollBar()->value(), box->verticalScrollBar()->value()) == scrolled);
    CHECK(box->cursorRect().top() >= 0);
    CHECK(box->cursorRect().bottom() <= box->viewport()->height());
}

TEST_CASE("Tests may post the keyboard notifications themselves", "[ui][text]") {
    KeyboardJournal keyboard;
    ui::postKeyboardWillShow(QRect(0, 600, 768, 424));
    ui::postKeyboardWillHide();
    CHECK(keyboard.names == std::vector<std::string>{"show", "hide"});
    CHECK(keyboard.frames[0].height() == 424);
    CHECK(ui::rectFromDictionary(foundation::Value(ui::rectDictionary(QRect(1, 2, 3, 4)))) ==
          QRect(1, 2, 3, 4));
    CHECK(ui::keyboardEndFrame({}).isNull());
}

TEST_CASE("Fields and text views share one editing life", "[ui][text]") {
    Page page;
    auto delegate = std::make_shared<FieldDelegate>();
    page.a->setDelegate(delegate);
    page.v->setDelegate(delegate);
    KeyboardJournal keyboard;

    SECTION("a read-only text view is asked but never edits") {
        page.v->setReadOnly(true);
        QTest::mouseClick(page.v->viewport(), Qt::LeftButton);
        settle();
        CHECK_FALSE(page.v->isEditing());
        CHECK_FALSE(page.v->hasFocus());
        CHECK(keyboard.names.empty());
        CHECK_FALSE(page.v->becomeFirstResponder());
    }
    SECTION("from a field to a text view and back the keyboard stays up") {
        QTest::mouseClick(page.a, Qt::LeftButton);
        QTest::mouseClick(page.v->viewport(), Qt::LeftButton);
        settle();
        CHECK(page.v->isEditing());
        CHECK_FALSE(page.a->isEditing());
        CHECK(delegate->calls == std::vector<std::string>{"shouldBegin", "didBegin", "didEnd"});
        QTest::mouseClick(page.a, Qt::LeftButton);
        settle();
        CHECK(delegate->calls.back() == "didBegin");
        CHECK(std::count(delegate->calls.begin(), delegate->calls.end(), "viewDidEnd") == 1);
        CHECK(keyboard.names == std::vector<std::string>{"show", "show", "show"});
    }
    SECTION("the window coming back to the front starts no editing") {
        QFocusEvent activate(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(page.v, &activate);
        QCoreApplication::sendEvent(page.a, &activate);
        CHECK_FALSE(page.v->isEditing());
        CHECK_FALSE(page.a->isEditing());
        CHECK(delegate->calls.empty());
        CHECK(keyboard.names.empty());
    }
    SECTION("a text view that goes away while editing lets the keyboard go, its delegate untold") {
        auto* w = new ui::TextView(&page.window);
        w->setDelegate(delegate);
        w->show();
        REQUIRE(w->becomeFirstResponder());
        delete w;
        settle();
        CHECK(keyboard.names == std::vector<std::string>{"show", "hide"});
        CHECK(std::count(delegate->calls.begin(), delegate->calls.end(), "viewDidEnd") == 0);
    }
}

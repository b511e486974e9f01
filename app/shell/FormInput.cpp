#include "app/shell/FormInput.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <chrono>
#include <set>

namespace shell::forminput {

namespace {
bool isOn(const store::FormData& items, const std::string& key) {
    auto it = items.find(key);
    return it != items.end() && it->second == kOn;
}
} // namespace

void onCircleSingle(int tag, store::FormData& items, FormPage& page) {
    const std::string key = std::to_string(tag);
    if (isOn(items, key)) {
        page.setCircle(tag, false);
        items.erase(key);
        return;
    }
    page.setCircle(tag, true);
    items[key] = kOn;
    // Ten tags from base + 1: base + 10 belongs to the next group but is cleared as well.
    const int base = (tag / 10) * 10;
    for (int other = base + 1; other <= base + 10; ++other) {
        if (other == tag || !page.hasView(other)) continue;
        page.setCircle(other, false);
        items.erase(std::to_string(other));
    }
}

void onCircleMulti(int tag, store::FormData& items, FormPage& page) {
    const std::string key = std::to_string(tag);
    const bool on = isOn(items, key);
    page.setCircle(tag, !on);
    if (on)
        items.erase(key);
    else
        items[key] = kOn;
}

void onCheckLabelSingle(int tag, store::FormData& list, FormPage& page, const std::string& mark) {
    const int base = (tag / 10) * 10;
    for (int u = base + 1; u <= base + 10; ++u) {
        if (!page.hasView(u)) continue;
        if (u == tag && page.labelText(u).empty()) {
            page.setLabelText(u, mark);
            list[std::to_string(u)] = mark;
        } else {
            page.setLabelText(u, "");
            list.erase(std::to_string(u));
        }
    }
}

void onCheckLabelMulti(int tag, store::FormData& list, FormPage& page, const std::string& mark) {
    const std::string key = std::to_string(tag);
    if (page.labelText(tag) == mark) {
        page.setLabelText(tag, "");
        list.erase(key);
    } else {
        page.setLabelText(tag, mark);
        list[key] = mark;
    }
}

QRect keyboardShiftFrame(const QRect& pageFrame, const QRect& keyboardEndFrame, bool open,
                         const QRect& screen) {
    const int top = open ? pageFrame.top() - keyboardEndFrame.height() : screen.top();
    // A page taller than the screen (a printed questionnaire page) keeps its height: cut to the
    // screen's, its last questions would be lost from sight.
    return QRect(0, top, screen.width(), std::max(screen.height(), pageFrame.height()));
}

bool checkDigit(const std::string& text, const std::string& allowed) {
    // Whole characters, not bytes: the allowed set may hold kana or full-width signs.
    const auto allowedChars = QString::fromStdString(allowed).toUcs4();
    const std::set<char32_t> set(allowedChars.begin(), allowedChars.end());
    for (char32_t c : QString::fromStdString(text).toUcs4())
        if (!set.count(c)) return false;
    return true;
}

Timestamps::Timestamps()
    : clock_([] {
          using namespace std::chrono;
          return duration<double>(system_clock::now().time_since_epoch()).count();
      }) {}

const std::string& Timestamps::timestamp() {
    if (!cached_) cached_ = newTimestamp();
    return *cached_;
}

std::string Timestamps::newTimestamp() const {
    return std::to_string(int64_t(clock_() * 1000.0));
}

} // namespace shell::forminput

#include "platform/foundation/PlistCheck.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/foundation/BinaryPlistFormat.h"

namespace foundation::plist::detail {

namespace {

constexpr std::string_view kBinaryMagic = binary::kMagic;
constexpr size_t kTrailerSize = binary::kTrailerSize;
using binary::readBigEndian;

// One object of a binary plist as far as the checks need it: its kind and, for a container, where its
// references are and how many.
struct Object {
    bool container = false;
    size_t references = 0; // offset of the first reference
    uint64_t count = 0;    // references (a dictionary's keys and values together)
};

class BinaryPlist {
  public:
    explicit BinaryPlist(std::span<const uint8_t> bytes) : b_(bytes) {}

    bool readTrailer() {
        if (b_.size() < kBinaryMagic.size() + kTrailerSize) return false;
        const uint8_t* t = b_.data() + b_.size() - kTrailerSize;
        offsetSize_ = t[6];
        refSize_ = t[7];
        count_ = readBigEndian(t + 8, 8);
        top_ = readBigEndian(t + 16, 8);
        table_ = readBigEndian(t + 24, 8);
        const uint64_t trailerAt = b_.size() - kTrailerSize;
        // Writers size both to what the file needs: three bytes as well as four.
        auto width = [](unsigned w) { return w >= 1 && w <= 8; };
        if (!width(offsetSize_) || !width(refSize_)) return false;
        if (count_ == 0 || top_ >= count_ || count_ > b_.size()) return false;
        if (table_ < kBinaryMagic.size() || table_ >= trailerAt) return false;
        return count_ <= (trailerAt - table_) / offsetSize_;
    }

    uint64_t count() const { return count_; }
    uint64_t top() const { return top_; }

    // The object at `index`, or false when it does not lie whole before the offset table.
    bool object(uint64_t index, Object& out) const {
        const uint64_t at = readBigEndian(b_.data() + table_ + index * offsetSize_, offsetSize_);
        if (at < kBinaryMagic.size() || at >= table_) return false;
        const uint8_t marker = b_[at];
        const unsigned kind = marker >> 4, low = marker & 0x0f;
        uint64_t p = at + 1;
        auto fits = [&](uint64_t n) { return n <= table_ - p; };
        uint64_t length = low;
        if (low == 0x0f &&
            (kind == 0x4 || kind == 0x5 || kind == 0x6 || kind == 0xa || kind == 0xc || kind == 0xd)) {
            // The length follows as an integer object.
            if (!fits(1) || b_[p] >> 4 != 0x1 || (b_[p] & 0x0f) > 3) return false;
            const unsigned width = 1u << (b_[p] & 0x0f);
            ++p;
            if (!fits(width)) return false;
            length = readBigEndian(b_.data() + p, width);
            p += width;
        }
        out = Object{};
        switch (kind) {
        case 0x0: // null, false, true, fill
            return low == 0x0 || low == 0x8 || low == 0x9 || low == 0xf;
        case 0x1: // integer
        case 0x2: // real
            return low <= 4 && fits(uint64_t(1) << low);
        case 0x3: // date
            return low == 3 && fits(8);
        case 0x4: // data
        case 0x5: // ASCII text; libplist measures it up to its first NUL, so one there does no harm
            return fits(length);
        case 0x6: { // UTF-16 text: a NUL character would make libplist's stored length disagree
            if (length > (table_ - p) / 2) return false;
            for (uint64_t i = 0; i < length; ++i)
                if (b_[p + 2 * i] == 0 && b_[p + 2 * i + 1] == 0) return false;
            return true;
        }
        case 0x8: // archive reference
            return fits(uint64_t(low) + 1);
        case 0xa:   // array
        case 0xc:   // set
        case 0xd: { // dictionary: the keys' references, then the values'
            const uint64_t per = kind == 0xd ? 2 * refSize_ : refSize_;
            if (length > (table_ - p) / per) return false;
            out = Object{true, size_t(p), kind == 0xd ? 2 * length : length};
            return true;
        }
        default:
            return false;
        }
    }

    uint64_t reference(const Object& o, uint64_t i) const {
        return readBigEndian(b_.data() + o.references + i * refSize_, refSize_);
    }

  private:
    std::span<const uint8_t> b_;
    unsigned offsetSize_ = 0, refSize_ = 0;
    uint64_t count_ = 0, top_ = 0, table_ = 0;
};

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The text of an XML plist's date: "YYYY-MM-DDTHH:MM:SSZ" naming a real day and time of the years 1 to
// 9999, between spaces if any. libplist reads anything else as some other day (1970-01-01 for words,
// the month after for a 30th of February), so only this form is a date. The writer gives a year before
// 1000 fewer digits, and such a year reads right.
bool isDateText(std::string_view text) {
    while (!text.empty() && isXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isXmlSpace(text.back()))
        text.remove_suffix(1);
    const size_t dash = text.find('-');
    if (dash < 1 || dash > 4 || text.size() != dash + 16) return false;
    const std::string_view rest = text.substr(dash);
    // The form after the year; '9' stands for a digit.
    constexpr std::string_view kForm = "-99-99T99:99:99Z";
    for (size_t i = 0; i < kForm.size(); ++i)
        if (kForm[i] == '9' ? rest[i] < '0' || rest[i] > '9' : rest[i] != kForm[i]) return false;
    int year = 0;
    for (char c : text.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        year = year * 10 + (c - '0');
    }
    auto number = [&](size_t at) { return (rest[at] - '0') * 10 + (rest[at + 1] - '0'); };
    const int month = number(1), day = number(4), hour = number(7), minute = number(10), second = number(13);
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
    return hour < 24 && minute < 60 && second < 60;
}

} // namespace

bool isSoundBinary(std::span<const uint8_t> bytes) {
    BinaryPlist plist(bytes);
    if (!plist.readTrailer()) return false;
    // Depth first over what the top object reaches, without recursion: each object once, its depth and
    // expanded size kept for the further references to it.
    enum State : uint8_t { Unseen, OnPath, Done };
    std::vector<uint8_t> state(plist.count(), Unseen);
    std::vector<uint16_t> depth(plist.count(), 0);
    std::vector<uint64_t> nodes(plist.count(), 0);
    struct Frame {
        uint64_t index;
        Object object;
        uint64_t next = 0;
        int deepestChild = 0;
        uint64_t nodes = 1;
    };
    std::vector<Frame> path;
    // Adds a finished object to the frame above it; false when that grows too large.
    auto attach = [&](uint64_t index) {
        if (path.empty()) return true;
        Frame& parent = path.back();
        parent.deepestChild = std::max(parent.deepestChild, int(depth[index]));
        parent.nodes += nodes[index];
        return parent.nodes <= kMaxNodes;
    };
    auto visit = [&](uint64_t index) {
        Object o;
        if (!plist.object(index, o)) return false;
        if (o.container) {
            if (path.size() >= size_t(kMaxDepth)) return false;
            state[index] = OnPath;
            path.push_back(Frame{index, o});
            return true;
        }
        state[index] = Done;
        depth[index] = 1;
        nodes[index] = 1;
        return attach(index);
    };
    if (!visit(plist.top())) return false;
    while (!path.empty()) {
        Frame& f = path.back();
        if (f.next < f.object.count) {
            const uint64_t child = plist.reference(f.object, f.next++);
            if (child >= plist.count() || state[child] == OnPath) return false; // out of range, or a cycle
            if (state[child] == Done ? !attach(child) : !visit(child)) return false;
            continue;
        }
        const uint64_t index = f.index;
        depth[index] = uint16_t(f.deepestChild + 1);
        nodes[index] = f.nodes;
        state[index] = Done;
        path.pop_back();
        if (depth[index] > kMaxDepth || !attach(index)) return false;
    }
    return true;
}

bool isSoundText(std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.find('\0') != std::string_view::npos) return false;
    // Counts elements the way an XML reader meets them. Skipped are what holds no element: declarations,
    // comments, character data sections and the document type (an internal subset is refused). A
    // closing tag never brings the count below zero, so stray ones cannot hide deeper nesting.
    int depth = 0;
    size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        size_t at = text.find(end, i);
        if (at == std::string_view::npos) return false;
        i = at + end.size();
        return true;
    };
    // Whether the tag name at `at` is `name`.
    auto named = [&](size_t at, std::string_view name) {
        return at + name.size() < text.size() && text.substr(at, name.size()) == name &&
               (isXmlSpace(text[at + name.size()]) || text[at + name.size()] == '>' ||
                text[at + name.size()] == '/');
    };
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<?")) {
            if (!skipPast("?>")) return false;
        } else if (rest.starts_with("<!--")) {
            i += 4;
            if (!skipPast("-->")) return false;
        } else if (rest.starts_with("<![CDATA[")) {
            if (!skipPast("]]>")) return false;
        } else if (rest.starts_with("<!")) {
            size_t end = text.find('>', i);
            if (end == std::string_view::npos || text.substr(i, end - i).find('[') != std::string_view::npos)
                return false;
            i = end + 1;
        } else {
            // A tag: up to its '>', quoted attribute values skipped.
            size_t j = i + 1;
            char quote = 0;
            for (; j < text.size(); ++j) {
                if (quote) {
                    if (text[j] == quote) quote = 0;
                } else if (text[j] == '"' || text[j] == '\'') {
                    quote = text[j];
                } else if (text[j] == '>') {
                    break;
                }
            }
            if (j >= text.size()) return false;
            const bool closing = text[i + 1] == '/', empty = !closing && text[j - 1] == '/';
            if (closing) {
                depth = std::max(0, depth - 1);
            } else if (!empty && ++depth > kMaxDepth) {
                return false;
            }
            // A date holds nothing but its text, which must name a day and time.
            if (!closing && named(i + 1, "date")) {
                const size_t end = text.find('<', j + 1);
                if (empty || end == std::string_view::npos || !named(end + 2, "date") ||
                    text[end + 1] != '/' || !isDateText(text.substr(j + 1, end - j - 1)))
                    return false;
            }
            i = j + 1;
        }
    }
    return true;
}

bool isPlistText(std::string_view text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const uint8_t c = p[i];
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t more;
        uint32_t code, least;
        if ((c & 0xe0) == 0xc0) {
            more = 1, code = c & 0x1f, least = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            more = 2, code = c & 0x0f, least = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (more >= n - i) return false;
        for (size_t k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xc0) != 0x80) return false;
            code = code << 6 | (p[i + k] & 0x3f);
        }
        // No overlong forms, no surrogates, nothing past the last code point.
        if (code < least || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) return false;
        i += more + 1;
    }
    return true;
}

bool isSound(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxBytes) return false;
    const bool binary = bytes.size() >= kBinaryMagic.size() &&
                        std::memcmp(bytes.data(), kBinaryMagic.data(), kBinaryMagic.size()) == 0;
    return binary ? isSoundBinary(bytes) : isSoundText(bytes);
}

} // namespace foundation::plist::detail

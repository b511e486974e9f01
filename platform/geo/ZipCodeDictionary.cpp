#include "platform/geo/ZipCodeDictionary.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace geo {

namespace {

// The file is EUC-JIS-2004; glibc knows it as EUC-JISX0213 (a superset of EUC-JP).
std::string decodeEucJp(const std::vector<uint8_t>& bytes) {
    iconv_t cd = iconv_open("UTF-8", "EUC-JISX0213");
    if (cd == iconv_t(-1)) cd = iconv_open("UTF-8", "EUC-JP");
    if (cd == iconv_t(-1)) return {};
    std::string out;
    out.resize(bytes.size() * 2 + 16);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG) {
            const size_t used = size_t(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = out.size() - used;
        } else {
            // An undecodable byte costs one character, not the rest of the file.
            ++in;
            --inLeft;
        }
    }
    iconv(cd, nullptr, nullptr, &dst, &outLeft);
    iconv_close(cd);
    out.resize(size_t(dst - out.data()));
    return out;
}

size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead >> 5) == 0x6) return 2;
    if ((lead >> 4) == 0xE) return 3;
    if ((lead >> 3) == 0x1E) return 4;
    return 1;
}

// Whether the text ends with one of 市, 区, 町, 村 (the municipal suffixes).
bool endsAsMunicipality(const std::string& s) {
    for (const char* suffix : {"市", "区", "町", "村"})
        if (s.size() >= 3 && s.compare(s.size() - 3, 3, suffix) == 0) return true;
    return false;
}

const char* const kPrefectures[] = {
    "北海道", "青森県", "岩手県", "宮城県",   "秋田県", "山形県",   "福島県", "茨城県", "栃木県", "群馬県",
    "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",   "石川県", "福井県", "山梨県", "長野県",
    "岐阜県", "静岡県", "愛知県", "三重県",   "滋賀県", "京都府",   "大阪府", "兵庫県", "奈良県", "和歌山県",
    "鳥取県", "島根県", "岡山県", "広島県",   "山口県", "徳島県",   "香川県", "愛媛県", "高知県", "福岡県",
    "佐賀県", "長崎県", "熊本県", "大分県",   "宮崎県", "鹿児島県", "沖縄県"};

} // namespace

std::string prefectureOf(const std::string& address) {
    for (const char* p : kPrefectures)
        if (address.rfind(p, 0) == 0) return p;
    return {};
}

std::shared_ptr<ZipCodeDictionary> ZipCodeDictionary::fromText(const std::string& utf8) {
    auto dict = std::make_shared<ZipCodeDictionary>();
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string::npos) end = utf8.size();
        std::string line = utf8.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        const size_t space = line.find(' ');
        if (space != 7) continue;
        const std::string zip = line.substr(0, 7);
        if (zip.find_first_not_of("0123456789") != std::string::npos) continue;
        std::vector<std::string> addresses;
        size_t a = line.find('/', space);
        while (a != std::string::npos) {
            const size_t b = line.find('/', a + 1);
            if (b == std::string::npos) break;
            std::string candidate = line.substr(a + 1, b - a - 1);
            // A candidate may carry an annotation after ';'.
            if (auto semi = candidate.find(';'); semi != std::string::npos) candidate.resize(semi);
            if (!candidate.empty()) addresses.push_back(std::move(candidate));
            a = b;
        }
        if (addresses.empty()) continue;
        if (zip.compare(5, 2, "00") == 0) {
            for (const auto& address : addresses) {
                const std::string pref = prefectureOf(address);
                std::string rest = address.substr(pref.size());
                if (!pref.empty() && endsAsMunicipality(rest)) dict->municipalities_.insert(std::move(rest));
            }
        }
        auto& list = dict->entries_[zip];
        list.insert(list.end(), addresses.begin(), addresses.end());
    }
    return dict;
}

std::shared_ptr<const ZipCodeDictionary> ZipCodeDictionary::load(const std::string& path) {
    auto bytes = foundation::readFile(path);
    if (!bytes) {
        foundation::log("geocoder: cannot read the postal-code dictionary %@", path);
        return nullptr;
    }
    auto dict = fromText(decodeEucJp(*bytes));
    if (dict->size() == 0) {
        foundation::log("geocoder: no postal codes in %@", path);
        return nullptr;
    }
    return dict;
}

std::shared_ptr<const ZipCodeDictionary> ZipCodeDictionary::shared(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const ZipCodeDictionary>> loaded;
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = loaded[path];
    if (!slot) slot = load(path); // a failed read is tried again next time
    return slot;
}

std::optional<std::string> ZipCodeDictionary::normalizeZip(const std::string& text) {
    std::string digits;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t len = std::min(utf8Length(c), text.size() - i);
        const std::string ch = text.substr(i, len);
        i += len;
        if (len == 1 && c >= '0' && c <= '9') {
            digits += char(c);
        } else if (len == 3 && ch >= "０" && ch <= "９" && ch.compare(0, 2, "\xEF\xBC") == 0) {
            digits += char('0' + (static_cast<unsigned char>(ch[2]) - 0x90));
        } else if (ch == "〒" || ch == " " || ch == "\t" || ch == "　" || ch == "-" || ch == "－" ||
                   ch == "ー" || ch == "−" || ch == "‐") {
            continue;
        } else {
            return std::nullopt;
        }
    }
    if (digits.size() != 7) return std::nullopt;
    return digits;
}

PostalAddress ZipCodeDictionary::split(const std::string& zip, const std::string& address) const {
    PostalAddress out;
    out.zip = zip;
    out.prefecture = prefectureOf(address);
    const std::string rest = address.substr(out.prefecture.size());
    // The shortest known municipality the address starts with.
    for (size_t i = 0; i < rest.size();) {
        i += utf8Length(static_cast<unsigned char>(rest[i]));
        if (i > rest.size()) break;
        if (municipalities_.count(rest.substr(0, i))) {
            out.municipality = rest.substr(0, i);
            out.rest = rest.substr(i);
            return out;
        }
    }
    // A municipality with a single code has no entry of its own: the whole address is the municipality.
    if (endsAsMunicipality(rest)) {
        out.municipality = rest;
        return out;
    }
    // Otherwise up to the first municipal suffix after a county ("郡") if any.
    size_t from = 0;
    if (auto gun = rest.find("郡"); gun != std::string::npos) from = gun + 3;
    size_t cut = std::string::npos;
    for (const char* suffix : {"市", "区", "町", "村"})
        if (auto p = rest.find(suffix, from); p != std::string::npos && p < cut) cut = p;
    if (cut == std::string::npos) {
        out.municipality = rest;
    } else {
        out.municipality = rest.substr(0, cut + 3);
        out.rest = rest.substr(cut + 3);
    }
    return out;
}

std::vector<PostalAddress> ZipCodeDictionary::lookup(const std::string& zipText) const {
    std::vector<PostalAddress> out;
    auto zip = normalizeZip(zipText);
    if (!zip) return out;
    auto it = entries_.find(*zip);
    if (it == entries_.end()) return out;
    for (const auto& address : it->second)
        out.push_back(split(*zip, address));
    return out;
}

} // namespace geo

#pragma once
// The postal-code dictionary behind the geocoder: Debian's skkdic-extra list of Japanese postal codes
// (one line per code, "1000001 /東京都千代田区千代田/", several addresses per code where the code
// covers several places), read once and kept in memory. An address splits into prefecture,
// municipality and the rest; the municipalities are learnt from the dictionary itself (the codes
// ending in "00" name whole municipalities), because no spelling rule separates a town from the
// city it sits in ("町田市", "四日市市", "大和郡山市").
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace geo {

inline constexpr const char* kDefaultZipCodeDictionaryPath = "/usr/share/skk/SKK-JISYO.zipcode";

struct PostalAddress {
    std::string zip;          // seven digits
    std::string prefecture;   // "北海道", "東京都", "京都府", "神奈川県", ...
    std::string municipality; // county, city, town or village with a designated city's ward
    std::string rest;         // the town area, possibly empty
    std::string full() const { return prefecture + municipality + rest; }
};

class ZipCodeDictionary {
  public:
    // Reads the file (EUC-JP); null when it can't be read or holds no entries.
    static std::shared_ptr<const ZipCodeDictionary> load(const std::string& path);
    // The same, read once per path for the process.
    static std::shared_ptr<const ZipCodeDictionary>
    shared(const std::string& path = kDefaultZipCodeDictionaryPath);

    // From the decoded (UTF-8) text of a dictionary file.
    static std::shared_ptr<ZipCodeDictionary> fromText(const std::string& utf8);

    // "0600000", "060-0000", "〒060-0000", full-width digits too: the seven digits, or none.
    static std::optional<std::string> normalizeZip(const std::string& text);

    size_t size() const { return entries_.size(); }
    // The addresses of a code in the dictionary's order; empty for an unknown code.
    std::vector<PostalAddress> lookup(const std::string& zipText) const;
    PostalAddress split(const std::string& zip, const std::string& address) const;

  private:
    std::map<std::string, std::vector<std::string>> entries_;
    std::unordered_set<std::string> municipalities_; // without the prefecture
};

// The prefecture an address starts with, or empty.
std::string prefectureOf(const std::string& address);

} // namespace geo

#include "sdk/core/installations/VEVInstallationsIIDStore.h"

#include <array>
#include <cstdint>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Plist.h"
#include "platform/utilities/Keychain.h"
#include "sdk/core/installations/VEVInstallationsBase64.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"

namespace keychain = utilities::keychain;
using foundation::Data;
using foundation::Dictionary;
using foundation::ErrorPtr;
using foundation::Value;

namespace {

// The marker's dictionary, or nothing: a file that is missing, unreadable or not a dictionary is no
// marker (and is not ours to touch).
std::optional<Dictionary> markerDictionary() {
    auto v = foundation::plist::readFile(VEVInstallationsIIDStore::markerFilePath());
    if (!v || !v->isDictionary()) return std::nullopt;
    return *v->dictionary();
}

bool hasMarker() {
    auto d = markerDictionary();
    return d && d->count(kVEVInstallationsIIDMarkerKey) > 0;
}

// The key item's query; nothing without a bundle identifier (there is then no tag).
std::optional<Dictionary> keyQuery(const char* prefix) {
    std::string bundleID = foundation::Bundle::main()->bundleIdentifier();
    if (bundleID.empty()) return std::nullopt;
    std::string tag = prefix + bundleID;
    return Dictionary{{keychain::kClass, keychain::kClassKey},
                      {keychain::kApplicationTag, Data(tag.begin(), tag.end())},
                      {keychain::kKeyType, keychain::kKeyTypeRSA}};
}

ErrorPtr noIIDError() {
    return VEVInstallationsErrorUtil::installationsErrorWithCode(VEVInstallationsErrorCodeUnknown,
                                                                 "No legacy instance ID.", nullptr);
}

uint32_t rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

} // namespace

VEVInstallationsIIDStore::VEVInstallationsIIDStore()
    : queue_(foundation::SerialQueue::create("com.vevurizo.installations.IIDStore")) {}

std::string VEVInstallationsIIDStore::markerFilePath() {
    return foundation::home::applicationSupport() + "/Ruvara/VevurizoInstanceID/com.ruvara.iid-keypair.plist";
}

Data VEVInstallationsIIDStore::SHA1(const Data& bytes) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    Data m = bytes;
    uint64_t bits = uint64_t(bytes.size()) * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56)
        m.push_back(0);
    for (int i = 7; i >= 0; --i)
        m.push_back(uint8_t(bits >> (8 * i)));
    for (size_t chunk = 0; chunk < m.size(); chunk += 64) {
        uint32_t w[80];
        for (size_t i = 0; i < 16; ++i)
            w[i] = uint32_t(m[chunk + 4 * i]) << 24 | uint32_t(m[chunk + 4 * i + 1]) << 16 |
                   uint32_t(m[chunk + 4 * i + 2]) << 8 | uint32_t(m[chunk + 4 * i + 3]);
        for (int i = 16; i < 80; ++i)
            w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    Data digest;
    for (uint32_t v : h)
        for (int i = 3; i >= 0; --i)
            digest.push_back(uint8_t(v >> (8 * i)));
    return digest;
}

std::string VEVInstallationsIIDStore::IIDWithPublicKeyData(const Data& publicKeyData) {
    Data digest = SHA1(publicKeyData);
    digest[0] = uint8_t(0x70 | (digest[0] & 0x0F));
    return installations::base64URLSafe(digest.data(), 8);
}

RVLPromise<std::string> VEVInstallationsIIDStore::existingIID() const {
    return RVLPromise<std::string>::onQueueDo(queue_,
                                              []() -> promises::Outcome<std::string> {
                                                  if (!hasMarker()) return noIIDError();
                                                  auto query = keyQuery(kVEVInstallationsIIDPublicTagPrefix);
                                                  if (!query) return noIIDError();
                                                  Data keyData;
                                                  if (keychain::copyMatching(*query, keyData) !=
                                                      keychain::kSuccess)
                                                      return noIIDError();
                                                  return IIDWithPublicKeyData(keyData);
                                              })
        .validate([](const std::string& IID) { return !IID.empty(); });
}

RVLPromise<std::nullptr_t> VEVInstallationsIIDStore::deleteExistingIID() const {
    return RVLPromise<std::nullptr_t>::onQueueDo(queue_, []() -> promises::Outcome<std::nullptr_t> {
        if (auto marker = markerDictionary()) {
            marker->erase(kVEVInstallationsIIDMarkerKey);
            if (!foundation::plist::writeFile(markerFilePath(), Value(std::move(*marker))))
                return VEVInstallationsErrorUtil::installationsErrorWithCode(
                    VEVInstallationsErrorCodeUnknown, "The legacy instance ID marker could not be written.",
                    nullptr);
        }
        for (const char* prefix :
             {kVEVInstallationsIIDPublicTagPrefix, kVEVInstallationsIIDPrivateTagPrefix}) {
            auto query = keyQuery(prefix);
            if (!query) continue;
            auto status = keychain::deleteMatching(*query);
            if (status != keychain::kSuccess && status != keychain::kItemNotFound)
                return VEVInstallationsErrorUtil::keychainErrorWithFunction("SecItemDelete", status);
        }
        return nullptr;
    });
}

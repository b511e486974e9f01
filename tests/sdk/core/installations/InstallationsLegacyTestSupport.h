#pragma once
// Plants what the older instance-ID library left behind: the marker property list, the RSA key pair
// items and the keyed archive of the default token.
#include <filesystem>
#include <plist/plist.h>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Plist.h"
#include "platform/utilities/Keychain.h"
#include "sdk/core/installations/VEVInstallationsIIDStore.h"
#include "sdk/core/installations/VEVInstallationsIIDTokenStore.h"
#include "tests/support/PlistSamples.h"

namespace installationstest {

namespace kc = utilities::keychain;

inline foundation::Dictionary keyQuery(const std::string& prefix) {
    std::string tag = prefix + foundation::Bundle::main()->bundleIdentifier();
    return {{kc::kClass, kc::kClassKey},
            {kc::kApplicationTag, foundation::Data(tag.begin(), tag.end())},
            {kc::kKeyType, kc::kKeyTypeRSA}};
}

inline const foundation::Data& samplePublicKey() {
    static const foundation::Data key = [] {
        foundation::Data d;
        for (int i = 0; i < 140; ++i)
            d.push_back(uint8_t(i * 7 + 3));
        return d;
    }();
    return key;
}

inline void writeMarker(const foundation::Value& contents) {
    foundation::createDirectories(
        std::filesystem::path(VEVInstallationsIIDStore::markerFilePath()).parent_path().string());
    REQUIRE(foundation::plist::writeFile(VEVInstallationsIIDStore::markerFilePath(), contents));
}

// A keyed archive whose root object is of `className` with the given token (no token member when empty).
inline foundation::Data tokenArchive(const std::string& token,
                                     const std::string& className = "VEVInstanceIDTokenInfo") {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(root, "$top", top);
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t object = plist_new_dict();
    plist_dict_set_item(object, "$class", plist_new_uid(3));
    plist_dict_set_item(object, "token", plist_new_uid(token.empty() ? 0 : 2));
    plist_array_append_item(objects, object);
    plist_array_append_item(objects, plist_new_string(token.c_str()));
    plist_t cls = plist_new_dict();
    plist_dict_set_item(cls, "$classname", plist_new_string(className.c_str()));
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(className.c_str()));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(cls, "$classes", classes);
    plist_array_append_item(objects, cls);
    plist_dict_set_item(root, "$objects", objects);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    foundation::Data data(bytes, bytes + length);
    free(bytes);
    plist_free(root);
    return data;
}

// The same archive built byte by byte around the given token object, which may be text no writer of a
// library would produce.
inline foundation::Data tokenArchiveAround(const std::string& tokenObject) {
    using namespace testsupport;
    return binaryPlist({
        dictionary({{1, 2}, {3, 4}, {5, 6}}), // 0: the archive
        ascii("$archiver"),
        ascii("NSKeyedArchiver"), // 1, 2
        ascii("$objects"),
        array({7, 8, 9, 10}), // 3, 4
        ascii("$top"),
        dictionary({{11, 12}}),           // 5, 6
        ascii("$null"),                   // 7: archive object 0
        dictionary({{13, 14}, {15, 16}}), // 8: archive object 1, the root
        tokenObject,                      // 9: archive object 2
        dictionary({{17, 18}}),           // 10: archive object 3, its class
        ascii("root"),
        uid(1), // 11, 12
        ascii("$class"),
        uid(3),
        ascii("token"),
        uid(2), // 13 to 16
        ascii("$classname"),
        ascii("VEVInstanceIDTokenInfo"), // 17, 18
    });
}

// The whole legacy identity: marker, key pair, default token for the sender ID.
inline void plantLegacyIdentity(const std::string& senderID,
                                const std::string& token = "legacy-default-token") {
    writeMarker(foundation::Value(foundation::Dictionary{{"|S|cre", "1234"}, {"other", "kept"}}));
    REQUIRE(kc::setItem(keyQuery(kVEVInstallationsIIDPublicTagPrefix), samplePublicKey()) == kc::kSuccess);
    REQUIRE(kc::setItem(keyQuery(kVEVInstallationsIIDPrivateTagPrefix), foundation::Data{1, 2, 3}) ==
            kc::kSuccess);
    VEVInstallationsIIDTokenStore tokens(senderID);
    REQUIRE(kc::setItem(tokens.tokenQuery(), tokenArchive(token)) == kc::kSuccess);
}

inline bool keyItemExists(const std::string& prefix) {
    foundation::Data d;
    return kc::copyMatching(keyQuery(prefix), d) == kc::kSuccess;
}

} // namespace installationstest

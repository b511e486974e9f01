#include "sdk/core/installations/VEVInstallationsIIDTokenStore.h"

#include <memory>
#include <plist/plist.h>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/PlistTree.h"
#include "platform/utilities/Keychain.h"
#include "platform/utilities/RULKeychainUtils.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"

namespace keychain = utilities::keychain;
using foundation::ErrorPtr;

namespace {

using foundation::plist::stringOf;

// The object an archive reference points at, or null.
plist_t referenced(plist_t objects, plist_t reference) {
    if (!reference || plist_get_node_type(reference) != PLIST_UID) return nullptr;
    uint64_t index = 0;
    plist_get_uid_val(reference, &index);
    // Reference 0 is the archive's nil.
    if (index == 0 || index >= plist_array_get_size(objects)) return nullptr;
    return plist_array_get_item(objects, uint32_t(index));
}

} // namespace

std::optional<VEVInstallationsIIDTokenInfo>
VEVInstallationsIIDTokenInfo::unarchive(const foundation::Data& data, ErrorPtr* error) {
    auto fail = [&] {
        if (error) *error = VEVInstallationsErrorUtil::corruptedIIDTokenData();
        return std::nullopt;
    };
    // Damaged bytes, a string holding a NUL among them, are refused before libplist builds a tree.
    auto root = foundation::plist::parseTree(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return fail();
    if (stringOf(plist_dict_get_item(root.get(), "$archiver")) !=
        std::optional<std::string>("NSKeyedArchiver"))
        return fail();
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    plist_t top = plist_dict_get_item(root.get(), "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top ||
        plist_get_node_type(top) != PLIST_DICT)
        return fail();
    plist_t object = referenced(objects, plist_dict_get_item(top, "root"));
    if (!object || plist_get_node_type(object) != PLIST_DICT) return fail();
    // Only the one archived class is accepted for the root, as a secure unarchiver would.
    plist_t cls = referenced(objects, plist_dict_get_item(object, "$class"));
    if (!cls || plist_get_node_type(cls) != PLIST_DICT ||
        stringOf(plist_dict_get_item(cls, "$classname")) !=
            std::optional<std::string>(kVEVInstallationsIIDTokenInfoArchivedClass))
        return fail();
    VEVInstallationsIIDTokenInfo info;
    if (plist_t token = referenced(objects, plist_dict_get_item(object, "token"));
        token && plist_get_node_type(token) == PLIST_STRING) {
        // Text that is not sound (not UTF-8) makes the archive damaged, not the token absent.
        auto text = stringOf(token);
        if (!text) return fail();
        info.token = *text;
    }
    return info;
}

VEVInstallationsIIDTokenStore::VEVInstallationsIIDTokenStore(std::string RCMSenderID)
    : RCMSenderID_(std::move(RCMSenderID)),
      queue_(foundation::SerialQueue::create("com.vevurizo.installations.IIDTokenStore")) {}

foundation::Dictionary VEVInstallationsIIDTokenStore::tokenQuery() const {
    foundation::Dictionary query{{keychain::kClass, keychain::kClassGenericPassword},
                                 {keychain::kGeneric, kVEVInstallationsIIDTokensGeneric},
                                 {keychain::kService, foundation::format("%@:%@", RCMSenderID_, "*")}};
    std::string bundleID = foundation::Bundle::main()->bundleIdentifier();
    if (!bundleID.empty()) query[keychain::kAccount] = bundleID;
    return query;
}

RVLPromise<std::string> VEVInstallationsIIDTokenStore::existingIIDDefaultToken() const {
    return RVLPromise<std::string>::onQueueDo(
        queue_, [query = tokenQuery()]() -> promises::Outcome<std::string> {
            ErrorPtr error;
            auto data = RULKeychainUtils::getItemWithQuery(query, &error);
            if (!data) return error ? error : VEVInstallationsErrorUtil::corruptedIIDTokenData();
            auto info = VEVInstallationsIIDTokenInfo::unarchive(*data, &error);
            if (!info) return error ? error : VEVInstallationsErrorUtil::corruptedIIDTokenData();
            if (info->token.empty()) return VEVInstallationsErrorUtil::corruptedIIDTokenData();
            return info->token;
        });
}

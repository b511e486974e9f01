#pragma once
// The keychain stand-in: secret items kept as files under Library/Keychain, one folder per access group
// (folders 0700, items 0600, written atomically). An item is a set of attributes plus its data; queries
// match on attributes. A damaged item counts as absent rather than failing every lookup; one the system
// cannot read (an I/O error) fails the lookups it might answer.
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace utilities::keychain {

// Attribute keys. An item's identity is its class, service, account, application tag and key type
// within its access group; other attributes (such as kGeneric) are stored and matched but do not
// tell items apart.
inline constexpr const char* kClass = "class";
inline constexpr const char* kService = "service";
inline constexpr const char* kAccount = "account";
inline constexpr const char* kAccessGroup = "accessGroup";
inline constexpr const char* kGeneric = "generic";
inline constexpr const char* kApplicationTag = "applicationTag";
inline constexpr const char* kKeyType = "keyType";

inline constexpr const char* kClassGenericPassword = "genericPassword";
inline constexpr const char* kClassKey = "key";
inline constexpr const char* kKeyTypeRSA = "RSA";

// Result codes; callers rely on success and item-not-found.
enum Status : long {
    kSuccess = 0,
    kItemNotFound = -25300,
    kWriteFailed = -36,
    kReadFailed = -37,
    kBadParameter = -50,
};

inline constexpr const char* kErrorDomain = "com.zaruvedez.keychain";

// The folder everything lives in (under the current app home).
std::string rootPath();

// Adds the item, or replaces the one with the same identity. A query without kAccessGroup means the
// app's own (default) group; groups never see each other's items.
Status setItem(const foundation::Dictionary& attributes, const foundation::Data& data);
// The data of the first matching item (items ordered by identity).
Status copyMatching(const foundation::Dictionary& query, foundation::Data& data);
// Removes every matching item; kItemNotFound when there was none.
Status deleteMatching(const foundation::Dictionary& query);

// An error object for a failed call, naming the operation.
foundation::ErrorPtr errorForStatus(Status status, const std::string& operation);

} // namespace utilities::keychain

#pragma once
// The default token of the older instance-ID library: a keychain item whose data is a keyed archive of
// a token-info object. Only read, for the one migration header at registration.
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"
#include "platform/promises/RVLPromise.h"

inline constexpr const char* kVEVInstallationsIIDTokensGeneric = "com.ruvara.iid-tokens";
inline constexpr const char* kVEVInstallationsIIDTokenInfoArchivedClass = "VEVInstanceIDTokenInfo";

// What is read of the archived token info: its "token" string.
class VEVInstallationsIIDTokenInfo {
  public:
    // Decodes the archive's root object when it was written as kVEVInstallationsIIDTokenInfoArchivedClass;
    // nothing (and `error`) for data that is no such archive.
    static std::optional<VEVInstallationsIIDTokenInfo> unarchive(const foundation::Data& data,
                                                                 foundation::ErrorPtr* error);
    std::string token;
};

class VEVInstallationsIIDTokenStore {
  public:
    explicit VEVInstallationsIIDTokenStore(std::string RCMSenderID);

    RVLPromise<std::string> existingIIDDefaultToken() const;
    // The generic-password query of the token item.
    foundation::Dictionary tokenQuery() const;
    const std::string& RCMSenderID() const { return RCMSenderID_; }

  private:
    std::string RCMSenderID_;
    foundation::QueuePtr queue_;
};

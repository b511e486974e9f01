#pragma once
// The identity of the older instance-ID library (an RSA key pair in the keychain and a marker property
// list), read once to carry it over as the FID and removed with the installation. Nothing is written
// here but the marker's removal.
#include <cstddef>
#include <string>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"
#include "platform/promises/RVLPromise.h"

inline constexpr const char* kVEVInstallationsIIDMarkerKey = "|S|cre";
inline constexpr const char* kVEVInstallationsIIDPublicTagPrefix = "com.ruvara.iid.keypair.public-";
inline constexpr const char* kVEVInstallationsIIDPrivateTagPrefix = "com.ruvara.iid.keypair.private-";

class VEVInstallationsIIDStore {
  public:
    VEVInstallationsIIDStore();

    // The legacy instance ID (11 characters); rejects when there is none.
    RVLPromise<std::string> existingIID() const;
    // Resolves once marker entry and key pair are gone.
    RVLPromise<std::nullptr_t> deleteExistingIID() const;

    // The marker file under the current home.
    static std::string markerFilePath();
    // URL-safe base64 of the first 8 bytes of the key data's SHA-1, its first byte 0111xxxx.
    static std::string IIDWithPublicKeyData(const foundation::Data& publicKeyData);
    static foundation::Data SHA1(const foundation::Data& bytes);

  private:
    foundation::QueuePtr queue_;
};

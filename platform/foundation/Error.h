#pragma once
// Error objects: a domain, a code and user info, as the SDK reports failures.
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation {

inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* kLocalizedFailureReasonKey = "NSLocalizedFailureReason";
inline constexpr const char* kLocalizedRecoverySuggestionKey = "NSLocalizedRecoverySuggestion";
inline constexpr const char* kUnderlyingErrorKey = "NSUnderlyingError";

class Error {
  public:
    Error(std::string domain, long code, Dictionary userInfo = {})
        : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

    static std::shared_ptr<Error> make(std::string domain, long code, Dictionary userInfo = {}) {
        return std::make_shared<Error>(std::move(domain), code, std::move(userInfo));
    }

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const Dictionary& userInfo() const { return userInfo_; }
    std::string localizedDescription() const;
    std::string description() const;
    // An error wrapped inside this one, if any (kept apart from user info since it is an object).
    std::shared_ptr<Error> underlying;

    bool operator==(const Error& o) const { return domain_ == o.domain_ && code_ == o.code_; }

  private:
    std::string domain_;
    long code_;
    Dictionary userInfo_;
};

using ErrorPtr = std::shared_ptr<Error>;

} // namespace foundation

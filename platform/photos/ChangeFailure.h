#pragma once
// What the staff read when a change of the library fails (the photo editor shows the error's
// description as its alert's message): why, then what was not done, in Japanese like the clinic's
// other screens. The error's failure reason holds the cause alone, for a screen that says what was
// not done in its own words. The detail for the developer (names, system messages) goes to the log
// instead.
#include <string>

#include "platform/foundation/Error.h"

namespace photos {

enum class FailureCause {
    AccessDenied,
    LibraryUnavailable,
    LibraryClosed,
    NotAnImage,
    NoAlbum,
    NoPhoto,
    Index
};

// The cause as a clause ending in "ため、".
std::string failureCause(FailureCause cause);
// The same for a write the system refused, from its errno.
std::string writeFailureCause(int error);
// The whole sentence: the cause, then what the change could not do (save photographs when it makes
// any, otherwise change albums).
std::string changeFailureText(const std::string& cause, bool savesPhotos);
// The cause a failed change's error carries; empty when it has none (a change block's own failure).
std::string failureCauseOf(const foundation::ErrorPtr& error);

} // namespace photos

#pragma once
// What the start-up says when the app's home cannot be used: the alert's text (Japanese, naming the
// folder and the cause) and the line for the log.
#include <string>

#include "platform/foundation/AppHome.h"

namespace shell {

// The cause in the staff's words, from the system's error number.
std::string homeProblemCause(int error);
std::string homeProblemMessage(const foundation::home::Problem& problem);
std::string homeProblemLogLine(const foundation::home::Problem& problem);

} // namespace shell

#pragma once
// This test program run again, in a process of its own, for what must run alone (a process on its
// way out, one that stops or is killed): only the named test cases run there. The process starts
// through posix_spawn, so nothing runs between the fork and the exec: a lock another thread of ours
// held at the fork cannot stop it.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Variables set in the child over this process's own.
using ChildEnvironment = std::vector<std::pair<std::string, std::string>>;

struct ChildRun {
    bool timedOut = false; // killed once the bound had passed
    int exitCode = -1;     // when it exited
    int signal = 0;        // when a signal ended it
    std::string out;
    std::string err;
    bool exitedWith(int code) const { return !timedOut && signal == 0 && exitCode == code; }
};

// Runs the test cases `spec` names (hidden ones included, "[.]") and waits for them, within a bound;
// one whose spec matches no test case fails. Output and errors are collected apart.
ChildRun runThisProgram(const std::string& spec, const ChildEnvironment& environment,
                        std::chrono::seconds limit = std::chrono::seconds(300));

// Starts the test cases `spec` names with their output thrown away, for a caller that ends the
// process itself; the caller waits for it.
pid_t startThisProgram(const std::string& spec, const ChildEnvironment& environment);

} // namespace testsupport

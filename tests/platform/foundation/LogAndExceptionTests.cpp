#include <catch2/catch.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <regex>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/foundation/CallStack.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/LaunchArguments.h"
#include "platform/foundation/Log.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestHome.h"

using namespace foundation;

namespace {

// Sends standard error to a file while alive; text() reads what was written.
class StderrToFile {
  public:
    StderrToFile() : path_(testsupport::makeTempDir("zvstderr") + "/stderr.txt") {
        std::fflush(stderr);
        saved_ = ::dup(2);
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrToFile() { restore(); }
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::string text() {
        restore();
        return readTextFile(path_).value_or("");
    }

  private:
    std::string path_;
    int saved_ = -1;
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    if (start < text.size()) lines.push_back(text.substr(start)); // an unterminated tail
    return lines;
}

const std::string kLinePrefix = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} zaruvedez\[\d+:\d+\] )";

} // namespace

TEST_CASE("the log sink writes whole stamped lines to standard error", "[log]") {
    SECTION("one line per message, with date, time, process and thread") {
        StderrToFile err;
        logMessage("[Vevurizo/Core][I-COR000001] Configuring the default app.");
        log("%@, %@, %ld", "zaruvedezViewController", "viewDidLoad", 3L);
        auto lines = splitLines(err.text());
        REQUIRE(lines.size() == 2);
        CHECK(std::regex_match(lines[0], std::regex(kLinePrefix + R"(\[Vevurizo/Core\]\[I-COR000001\] )"
                                                                  R"(Configuring the default app\.)")));
        CHECK(
            std::regex_match(lines[1], std::regex(kLinePrefix + "zaruvedezViewController, viewDidLoad, 3")));
        CHECK(lines[0].find(format("zaruvedez[%d:", int(getpid()))) != std::string::npos);
    }
    SECTION("16 threads at once: every line whole") {
        constexpr int kThreads = 16, kLines = 200;
        StderrToFile err;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < kLines; ++i)
                    log("thread %02d line %03d %@", t, i, std::string(120, char('a' + t)));
            });
        for (auto& th : threads)
            th.join();
        auto lines = splitLines(err.text());
        REQUIRE(lines.size() == size_t(kThreads * kLines));
        std::regex whole(kLinePrefix + R"(thread (\d\d) line \d\d\d ([a-p])\2{119})");
        for (const auto& line : lines) {
            std::smatch m;
            REQUIRE(std::regex_match(line, m, whole));
            CHECK(m[2].str()[0] == char('a' + std::stoi(m[1])));
        }
    }
    SECTION("a silent capture keeps lines off standard error; a loud one lets them through") {
        StderrToFile err;
        {
            LogCapture quiet;
            logMessage("kept quiet");
            CHECK(quiet.lines() == std::vector<std::string>{"kept quiet"});
        }
        {
            LogCapture loud(false);
            logMessage("said aloud");
            CHECK(loud.count("said aloud") == 1);
        }
        auto text = err.text();
        CHECK(text.find("kept quiet") == std::string::npos);
        CHECK(text.find("said aloud") != std::string::npos);
    }
}

TEST_CASE("named exceptions carry name and reason; an uncaught one is logged before the end", "[exception]") {
    SECTION("raise formats the reason") {
        try {
            raise("com.vevurizo.core", "App named %@ has already been configured.", "x");
            FAIL("raise returned");
        } catch (const NamedException& e) {
            CHECK(e.name() == "com.vevurizo.core");
            CHECK(e.reason() == "App named x has already been configured.");
        }
    }
    SECTION("the line for an uncaught exception names it") {
        CHECK(describeUncaught(std::make_exception_ptr(NamedException("N", "why"))) ==
              "*** Terminating app due to uncaught exception 'N', reason: 'why'");
        CHECK(describeUncaught(std::make_exception_ptr(std::runtime_error("plain"))) ==
              "*** Terminating app due to uncaught exception, reason: 'plain'");
    }
    SECTION("a process ended by an uncaught named exception logs both, then aborts") {
        // The end of a process is shown in one of its own: this program again, for the case below.
        const auto child =
            testsupport::runThisProgram("[uncaught-exception-child]", {{"ZARUVEDEZ_UNCAUGHT_CHILD", "1"}});
        INFO(child.out << child.err);
        CHECK_FALSE(child.timedOut);
        CHECK(child.signal == SIGABRT);
        CHECK(std::regex_search(child.err, std::regex(kLinePrefix +
                                                      R"(\*\*\* Terminating app due to uncaught )"
                                                      R"(exception 'com\.vevurizo\.core', reason: )"
                                                      R"('Default app has already been configured\.'\n)")));
    }
}

TEST_CASE("a process ended by an uncaught named exception", "[.][uncaught-exception-child]") {
    if (!std::getenv("ZARUVEDEZ_UNCAUGHT_CHILD")) return; // only ever run by the case above
    std::signal(SIGABRT, SIG_DFL); // the test runner's own handler would report a failed test
    installUncaughtExceptionLogger();
    // Escaping a function that may not throw ends the process, as escaping main or a thread's function
    // does: here on purpose.
    // NOLINTNEXTLINE(bugprone-exception-escape)
    []() noexcept { raise("com.vevurizo.core", "Default app has already been configured."); }();
}

namespace {
// Raises where the test can tell: the return address into the caller must be among the recorded frames.
[[gnu::noinline]] void raiseNoted(void*& returnAddress) {
    returnAddress = __builtin_return_address(0);
    raise("com.vevurizo.core", "Options is nil. Please pass a valid options.");
}

bool hasFrame(const CallStack& stack, void* address) {
    auto frames = stack.frames();
    return std::find(frames.begin(), frames.end(), address) != frames.end();
}
} // namespace

TEST_CASE("a named exception keeps the call stack where it was raised", "[exception][callstack]") {
    SECTION("the stack leads back through the raising function, wherever the exception is caught") {
        void* returnAddress = nullptr;
        std::exception_ptr carried;
        std::thread([&] {
            try {
                raiseNoted(returnAddress);
            } catch (...) {
                carried = std::current_exception();
            }
        }).join();
        REQUIRE(returnAddress);
        try {
            std::rethrow_exception(carried);
        } catch (const NamedException& e) {
            CHECK(hasFrame(e.callStack(), returnAddress));
            auto copy = e;
            CHECK(hasFrame(copy.callStack(), returnAddress));
            auto symbols = e.callStackSymbols();
            CHECK(symbols.size() == e.callStack().frames().size());
            for (const auto& line : symbols)
                CHECK_FALSE(line.empty());
        }
    }
    SECTION("each exception has its own stack") {
        void* first = nullptr;
        void* second = nullptr;
        std::exception_ptr a, b;
        try {
            raiseNoted(first);
        } catch (...) {
            a = std::current_exception();
        }
        [&] {
            try {
                raiseNoted(second);
            } catch (...) {
                b = std::current_exception();
            }
        }();
        REQUIRE(first != second);
        try {
            std::rethrow_exception(a);
        } catch (const NamedException& e) {
            CHECK(hasFrame(e.callStack(), first));
            CHECK_FALSE(hasFrame(e.callStack(), second));
        }
    }
    SECTION("an empty stack has no lines; mangled type names read as written") {
        CHECK(CallStack().empty());
        CHECK(CallStack().symbols().empty());
        CHECK_FALSE(CallStack::capture().empty());
        CHECK(demangledName("St12out_of_range") == "std::out_of_range");
        CHECK(demangledName("not a mangled name") == "not a mangled name");
    }
}

TEST_CASE("any exception can be summarized as a name and a reason", "[exception]") {
    auto summaryOf = [](auto thrown) { return summarize(std::make_exception_ptr(thrown)); };
    auto named = summaryOf(NamedException("com.vevurizo.core", "Name cannot be empty."));
    CHECK(named.named);
    CHECK(named.name == "com.vevurizo.core");
    CHECK(named.reason == "Name cannot be empty.");
    auto standard = summaryOf(std::out_of_range("index 3"));
    CHECK_FALSE(standard.named);
    CHECK(standard.name == "std::out_of_range");
    CHECK(standard.reason == "index 3");
    auto other = summaryOf(42);
    CHECK(other.name == "int");
    CHECK(other.reason.empty());
    CHECK(summarize(nullptr).name.empty());
}

namespace {
int hookRuns = 0;
void countingHook() {
    ++hookRuns;
}
void registeringHook() {
    ClassRegistry::registerClass("TestLoadedClass", std::string("class object"));
}
} // namespace

TEST_CASE("load hooks run once and classes are found by name", "[registry]") {
    LoadHooks::runOnce({&countingHook, &registeringHook});
    LoadHooks::runOnce({&countingHook});
    CHECK(hookRuns == 1);
    REQUIRE(ClassRegistry::exists("TestLoadedClass"));
    CHECK(*ClassRegistry::lookupAs<std::string>("TestLoadedClass") == "class object");
    CHECK_FALSE(ClassRegistry::lookupAs<int>("TestLoadedClass")); // another type is not this class
    CHECK_FALSE(ClassRegistry::exists("Swift._SwiftObject"));
    ClassRegistry::unregisterClass("TestLoadedClass");
    CHECK_FALSE(ClassRegistry::lookup("TestLoadedClass"));
}

TEST_CASE("errors describe themselves; launch arguments are looked up whole", "[error][launch]") {
    Error described("com.vevurizo.core", -100,
                    {{kLocalizedDescriptionKey, "Unable to parse RuvaraService-Info.plist in order to "
                                                "configure services."}});
    CHECK(described.localizedDescription() ==
          "Unable to parse RuvaraService-Info.plist in order to configure services.");
    CHECK(described.description() == "Error Domain=com.vevurizo.core Code=-100 \"Unable to parse "
                                     "RuvaraService-Info.plist in order to configure services.\"");
    CHECK(Error("d", 7).localizedDescription() == "The operation couldn’t be completed. (d error 7.)");

    auto saved = launch::arguments();
    launch::setArguments(std::vector<std::string>{"zaruvedez", "-VEVDebugEnabled"});
    CHECK(launch::contains("-VEVDebugEnabled"));
    CHECK_FALSE(launch::contains("-VEVDebug"));
    launch::setArguments(saved);
}

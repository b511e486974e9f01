#include <catch2/catch.hpp>
#include <regex>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/utilities/RULLogger.h"

namespace {
struct FreshLogger {
    FreshLogger() { rul::resetLoggerForTesting(); }
    ~FreshLogger() { rul::resetLoggerForTesting(); }
    foundation::LogCapture log;
};
} // namespace

TEST_CASE("RULLogBasic writes the service tag, the code and the text", "[logger]") {
    FreshLogger f;
    RULLogBasic(3, "[Vevurizo/Core]", false, "I-COR000004", "App with name %@ does not exist.", {"clinic"});
    RULLogBasic(4, "[Vevurizo/Core]", false, "I-COR000099", "100% literal %@ without arguments", {});
    CHECK(f.log.lines() == std::vector<std::string>{
                               "[Vevurizo/Core][I-COR000004] App with name clinic does not exist.",
                               "[Vevurizo/Core][I-COR000099] 100% literal %@ without arguments",
                           });
}

TEST_CASE("RULLogBasic filters by level", "[logger]") {
    FreshLogger f;
    auto logAll = [] {
        for (int level : {3, 4, 5, 6, 7})
            RULLogBasic(level, "[T]", false, "I-TST000000", "level %d", {level});
    };

    SECTION("the default lets errors, warnings and notices through") {
        logAll();
        CHECK(f.log.lines() == std::vector<std::string>{"[T][I-TST000000] level 3",
                                                        "[T][I-TST000000] level 4",
                                                        "[T][I-TST000000] level 5"});
    }
    SECTION("raising the level to debug lets everything through") {
        RULSetLoggerLevel(7);
        logAll();
        CHECK(f.log.lines().size() == 5);
    }
    SECTION("forced debug lets debug lines through whatever the level") {
        RULSetLoggerLevel(3);
        RULLoggerForceDebug();
        logAll();
        CHECK(f.log.lines().size() == 5);
        CHECK(rul::loggerState().debugForced);
    }
    SECTION("a forced line prints even above the level") {
        RULLogBasic(7, "[T]", true, "I-TST000001", "forced", {});
        CHECK(f.log.contains("[T][I-TST000001] forced"));
    }
    SECTION("levels out of range are clamped, so errors never go silent") {
        RULSetLoggerLevel(0);
        CHECK(rul::loggerState().level == 3);
        logAll();
        CHECK(f.log.lines() == std::vector<std::string>{"[T][I-TST000000] level 3"});
        RULSetLoggerLevel(42);
        CHECK(rul::loggerState().level == 7);
    }
}

TEST_CASE("RULLogger records its set-up calls", "[logger]") {
    FreshLogger f;
    CHECK_FALSE(rul::loggerState().initialized);
    RULLoggerRegisterVersion("6.27.0");
    RULLoggerInitializeASL();
    RULLoggerEnableSTDERR();
    auto state = rul::loggerState();
    CHECK(state.version == "6.27.0");
    CHECK(state.versionRegistrations == 1);
    CHECK(state.initialized);
    CHECK(state.stderrEnabled);
}

TEST_CASE("16 threads logging at once: every line whole", "[logger]") {
    FreshLogger f;
    constexpr int kThreads = 16, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                RULLogBasic(4, "[Vevurizo/Test]", false, "I-TST000016", "thread %02d line %03d %@",
                            {t, i, std::string(64, char('a' + t))});
        });
    for (auto& th : threads)
        th.join();

    auto lines = f.log.lines();
    REQUIRE(lines.size() == size_t(kThreads * kLines));
    std::regex whole(R"(\[Vevurizo/Test\]\[I-TST000016\] thread (\d\d) line \d\d\d ([a-p])\2{63})");
    std::vector<int> perThread(kThreads, 0);
    for (const auto& line : lines) {
        std::smatch m;
        REQUIRE(std::regex_match(line, m, whole));
        int t = std::stoi(m[1]);
        CHECK(m[2].str()[0] == char('a' + t));
        ++perThread[t];
    }
    for (int n : perThread)
        CHECK(n == kLines);
}

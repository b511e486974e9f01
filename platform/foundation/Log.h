#pragma once
// The one log sink: every line of the program (clinic free text, SDK loggers, transport) ends here.
// Lines go to standard error as "YYYY-MM-DD hh:mm:ss.mmm zaruvedez[pid:tid] message".
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Format.h"

namespace foundation {

void logMessage(std::string_view message);

// Clinic-style free text: log("%@, %@, %@", cls, method, detail).
template <class... Args> void log(std::string_view fmt, const Args&... args) {
    logMessage(format(fmt, args...));
}

// Formats the full line as the sink writes it (exposed for tests).
std::string formatLogLine(std::string_view message);

// Captures the messages (without the time/pid prefix) while alive; used by tests. Lines still reach
// standard error unless `silence` is set.
class LogCapture {
  public:
    explicit LogCapture(bool silence = true);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view needle) const;
    size_t count(std::string_view needle) const;
    void clear();

  private:
    friend void logMessage(std::string_view);
    void add(std::string_view message);
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    bool silence_;
};

} // namespace foundation

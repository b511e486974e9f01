#include "tools/peer-send/PeerScript.h"

#include <cstdlib>

namespace peersend {

std::optional<std::vector<Step>> parseScript(const std::vector<std::string>& lines, std::string& error) {
    std::vector<Step> steps;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto colon = line.find(':');
        const std::string head = line.substr(0, colon);
        const std::string rest = colon == std::string::npos ? std::string() : line.substr(colon + 1);
        Step step;
        if (line == "bye") {
            step.kind = Step::Bye;
        } else if (colon != std::string::npos && head == "text") {
            step.kind = Step::Text;
        } else if (colon != std::string::npos && head == "file" && !rest.empty()) {
            step.kind = Step::File;
        } else if (colon != std::string::npos && head == "expect") {
            step.kind = Step::Expect;
        } else if (colon != std::string::npos && head == "wait") {
            char* end = nullptr;
            const long ms = std::strtol(rest.c_str(), &end, 10);
            if (rest.empty() || *end != '\0' || ms < 0 || ms > 3600000) {
                error = "line " + std::to_string(i + 1) + ": wait needs milliseconds";
                return std::nullopt;
            }
            step.kind = Step::Wait;
            step.milliseconds = int(ms);
        } else {
            error = "line " + std::to_string(i + 1) + ": not a step: " + line;
            return std::nullopt;
        }
        step.argument = rest;
        steps.push_back(std::move(step));
    }
    return steps;
}

} // namespace peersend

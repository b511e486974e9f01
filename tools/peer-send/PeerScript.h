#pragma once
// What the sending device does once connected, one step a line: "text:<TEXT>" sends a UTF-8 text,
// "file:<PATH>" sends the file's bytes as one message, "expect:<TEXT>" waits for that reply,
// "wait:<MS>" pauses, "bye" leaves the session. Blank lines and lines starting with "#" are skipped.
#include <optional>
#include <string>
#include <vector>

namespace peersend {

struct Step {
    enum Kind { Text, File, Expect, Wait, Bye } kind = Text;
    std::string argument;
    int milliseconds = 0;
};

// The steps of the lines; none with the reason when a line is not a step.
std::optional<std::vector<Step>> parseScript(const std::vector<std::string>& lines, std::string& error);

} // namespace peersend

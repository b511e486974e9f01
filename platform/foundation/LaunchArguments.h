#pragma once
// The process's launch arguments, as main received them (settable so tests can launch "again").
#include <string>
#include <vector>

namespace foundation::launch {

void setArguments(int argc, char** argv);
void setArguments(std::vector<std::string> args);
std::vector<std::string> arguments();
bool contains(const std::string& arg);

} // namespace foundation::launch

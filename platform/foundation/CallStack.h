#pragma once
// A call stack taken where something goes wrong. Taking it only notes return addresses; the readable
// lines are made when someone asks for them (usually never).
#include <array>
#include <span>
#include <string>
#include <vector>

namespace foundation {

class CallStack {
  public:
    // The caller's stack, innermost first (capture's own frame left out).
    static CallStack capture();

    std::span<void* const> frames() const { return {frames_.data(), size_t(count_)}; }
    bool empty() const { return count_ == 0; }
    // One line per frame, "binary(function+0x1f) [0x...]", with C++ names demangled. Functions of the
    // executable are named only when it exports its symbols.
    std::vector<std::string> symbols() const;

  private:
    std::array<void*, 64> frames_{};
    int count_ = 0;
};

// The readable form of a mangled name ("St12out_of_range" → "std::out_of_range"); the name itself when
// it cannot be demangled.
std::string demangledName(const char* mangled);

} // namespace foundation

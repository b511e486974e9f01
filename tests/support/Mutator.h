#pragma once
// Deterministic mutations of valid inputs for the fuzz tests of the readers of outside bytes (g++ has
// no coverage-guided fuzzer): bit flips, interesting bytes, cuts, inserts, splices and repeats, and
// optionally tokens of the format under test.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace testsupport {

inline size_t fuzzIterations(size_t byDefault) {
    const char* v = std::getenv("ZARUVEDEZ_FUZZ_ITERATIONS");
    return v ? size_t(std::strtoull(v, nullptr, 10)) : byDefault;
}
// ZARUVEDEZ_FUZZ_SEED explores other inputs by hand; the suite keeps its fixed seeds.
inline uint64_t fuzzSeed(uint64_t byDefault) {
    const char* v = std::getenv("ZARUVEDEZ_FUZZ_SEED");
    return v ? uint64_t(std::strtoull(v, nullptr, 10)) : byDefault;
}

class Mutator {
  public:
    using Data = foundation::Data;

    explicit Mutator(uint64_t seed, std::vector<std::string> tokens = {})
        : rng_(seed), tokens_(std::move(tokens)) {}
    size_t below(size_t n) { return n ? size_t(rng_() % n) : 0; }

    Data mutate(const std::vector<Data>& seeds) {
        Data d = seeds[below(seeds.size())];
        for (size_t rounds = 1 + below(4); rounds; --rounds) {
            switch (below(tokens_.empty() ? 7 : 8)) {
            case 0: // flip a bit
                if (!d.empty()) d[below(d.size())] ^= uint8_t(1u << below(8));
                break;
            case 1: // an interesting byte
                if (!d.empty()) d[below(d.size())] = kInteresting[below(std::size(kInteresting))];
                break;
            case 2: // cut the tail
                d.resize(below(d.size() + 1));
                break;
            case 3: { // insert random bytes
                Data junk(1 + below(16));
                for (auto& b : junk)
                    b = uint8_t(rng_());
                d.insert(d.begin() + long(below(d.size() + 1)), junk.begin(), junk.end());
                break;
            }
            case 4: // drop a range
                if (!d.empty()) {
                    size_t at = below(d.size());
                    d.erase(d.begin() + long(at), d.begin() + long(std::min(d.size(), at + 1 + below(32))));
                }
                break;
            case 5: { // splice another seed in
                const Data& other = seeds[below(seeds.size())];
                if (!other.empty()) {
                    size_t from = below(other.size());
                    d.insert(d.begin() + long(below(d.size() + 1)), other.begin() + long(from), other.end());
                }
                break;
            }
            case 6: // duplicate a range
                if (!d.empty()) {
                    size_t at = below(d.size());
                    Data part(d.begin() + long(at), d.begin() + long(std::min(d.size(), at + 1 + below(64))));
                    d.insert(d.begin() + long(below(d.size() + 1)), part.begin(), part.end());
                }
                break;
            default: { // a token of the format, written over the bytes or inserted
                const std::string& t = tokens_[below(tokens_.size())];
                size_t at = below(d.size() + 1);
                if (below(2) && at + t.size() <= d.size())
                    std::copy(t.begin(), t.end(), d.begin() + long(at));
                else
                    d.insert(d.begin() + long(at), t.begin(), t.end());
            }
            }
        }
        return d;
    }

  private:
    static constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x7f, 0x80, 0xff, 0x08,
                                               0x1a, 0x0a, 0x22, '{',  '"',  '\\'};
    std::mt19937_64 rng_;
    std::vector<std::string> tokens_;
};

} // namespace testsupport

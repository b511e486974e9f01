#pragma once
// A clinic database file damaged as a crash or a faulty copy leaves it: its first 16 bytes (SQLite's
// "SQLite format 3" signature) overwritten, so every connection reads it as no database at all. The
// damage can be undone, so a test can read the rows that were there once the code under test is done.
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace storetest {

// The whole file as bytes (empty when there is none).
inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class DamagedDatabase {
  public:
    explicit DamagedDatabase(std::string path) : path_(std::move(path)) {
        const std::string whole = fileBytes(path_);
        if (whole.size() < kSize) throw std::runtime_error("no database to damage at " + path_);
        header_ = whole.substr(0, kSize);
        write(std::string(kSize, 'X'));
        damaged_ = fileBytes(path_);
    }

    // The file's bytes right after the damage: a file nobody touched since is still these.
    const std::string& damaged() const { return damaged_; }
    // Puts the signature back.
    void repair() const { write(header_); }

  private:
    static constexpr size_t kSize = 16;

    void write(const std::string& bytes) const {
        std::fstream file(path_, std::ios::binary | std::ios::in | std::ios::out);
        file.write(bytes.data(), std::streamsize(bytes.size()));
        if (!file) throw std::runtime_error("cannot write " + path_);
    }

    std::string path_;
    std::string header_;
    std::string damaged_;
};

} // namespace storetest

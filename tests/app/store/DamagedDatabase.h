#pragma once
// A clinic database file damaged as a crash or a faulty copy leaves it: its first 16 bytes (SQLite's
// "SQLite format 3" signature) overwritten, so every connection reads it as no database at all; or
// some pages past the first overwritten, so the file opens and lists its tables and only a read of
// those pages finds the damage. Either can be undone, so a test can read the rows that were there once
// the code under test is done.
#include <cstdint>
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

class DamagedPages {
  public:
    // Overwrites the pages first..last (counted from 1, as SQLite counts them) with bytes no page holds.
    DamagedPages(std::string path, size_t first, size_t last) : path_(std::move(path)) {
        const std::string whole = fileBytes(path_);
        if (whole.size() < 100) throw std::runtime_error("no database to damage at " + path_);
        // The page size is stored big-endian at offset 16; 1 stands for 65536.
        size_t pageSize = size_t(uint8_t(whole[16])) << 8 | uint8_t(whole[17]);
        if (pageSize == 1) pageSize = 65536;
        offset_ = (first - 1) * pageSize;
        const size_t size = (last - first + 1) * pageSize;
        if (first < 2 || whole.size() < offset_ + size)
            throw std::runtime_error("no pages " + std::to_string(first) + "-" + std::to_string(last) +
                                     " to damage at " + path_);
        pages_ = whole.substr(offset_, size);
        write(std::string(size, 'X'));
        damaged_ = fileBytes(path_);
    }

    const std::string& damaged() const { return damaged_; }
    void repair() const { write(pages_); }

  private:
    void write(const std::string& bytes) const {
        std::fstream file(path_, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(std::streamoff(offset_));
        file.write(bytes.data(), std::streamsize(bytes.size()));
        if (!file) throw std::runtime_error("cannot write " + path_);
    }

    std::string path_;
    size_t offset_ = 0;
    std::string pages_;
    std::string damaged_;
};

} // namespace storetest

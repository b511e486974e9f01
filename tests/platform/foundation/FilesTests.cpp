// The file layer every writer of ours goes through: whole-file reads, writes that take all or say why,
// and atomic replacement with the mode asked for.
#include <catch2/catch.hpp>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestHome.h"

using namespace foundation;
namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat st {};
    REQUIRE(::lstat(path.c_str(), &st) == 0);
    return st.st_mode & 07777;
}

// The process's umask for the life of the object.
class Umask {
  public:
    explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
    ~Umask() { ::umask(previous_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

  private:
    mode_t previous_;
};

size_t entriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(folder))
        ++n;
    return n;
}

Data bytes(const std::string& text) {
    return Data(text.begin(), text.end());
}

} // namespace

TEST_CASE("atomic writes replace whole files and create folders", "[files]") {
    testsupport::TempHome home;
    std::string p = home.path() + "/a/b/c.txt";
    REQUIRE(writeFileAtomically(p, std::string("one")));
    REQUIRE(writeFileAtomically(p, std::string("two!")));
    CHECK(*readTextFile(p) == "two!");
    // No temporary files are left behind.
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(home.path() + "/a/b"))
        n += e.is_regular_file();
    CHECK(n == 1);
    CHECK_FALSE(writeFileAtomically("/proc/nope/x", std::string("x")));
}

TEST_CASE("a whole-file read that the system refuses is no file, not an empty one", "[files]") {
    testsupport::TempHome home;
    CHECK_FALSE(readFile(home.path() + "/missing"));
    std::filesystem::create_directory(home.path() + "/folder");
    CHECK_FALSE(readFile(home.path() + "/folder")); // a folder where a file should be
    REQUIRE(writeFileAtomically(home.path() + "/empty", std::string()));
    REQUIRE(readFile(home.path() + "/empty"));
    CHECK(readFile(home.path() + "/empty")->empty());
}

TEST_CASE("a replaced file has the mode asked for", "[files]") {
    testsupport::TempHome home;
    const std::string path = home.path() + "/file";

    SECTION("without one, 0644 less the umask, as any new file") {
        {
            Umask mask(022);
            REQUIRE(writeFileAtomically(path, std::string("open")));
        }
        CHECK(modeOf(path) == 0644);
        {
            Umask mask(077);
            REQUIRE(replaceFile(path, "closed", 6, FileSync::None));
        }
        CHECK(modeOf(path) == 0600);
    }
    SECTION("with one, exactly that, whatever the umask, also over a file of another mode") {
        REQUIRE(writeFileAtomically(path, std::string("before")));
        {
            Umask mask(0277); // would leave the owner unable to read it
            REQUIRE(writeFileAtomically(path, bytes("private"), 0600));
        }
        CHECK(modeOf(path) == 0600);
        CHECK(readTextFile(path) == std::optional<std::string>("private"));
        for (const FileSync sync : {FileSync::None, FileSync::Data, FileSync::DataAndFolder}) {
            Umask mask(0);
            REQUIRE(replaceFile(path, "group", 5, sync, 0640));
            CHECK(modeOf(path) == 0640);
        }
        size_t temporaries = 0;
        for (auto& e : fs::directory_iterator(home.path()))
            temporaries += e.path().filename().string().find(".tmp-") != std::string::npos;
        CHECK(temporaries == 0);
    }
    SECTION("with one, a missing folder is not made: it would not be the caller's") {
        const std::string folder = home.path() + "/private";
        errno = 0;
        CHECK_FALSE(writeFileAtomically(folder + "/file", bytes("x"), 0600));
        CHECK(errno == ENOENT);
        CHECK_FALSE(fs::exists(folder));
        // Without a mode the folder is made.
        CHECK(writeFileAtomically(folder + "/file", std::string("x")));
    }
}

TEST_CASE("a file opened for writing starts empty, reached by no symbolic link, and takes all or says why",
          "[files]") {
    testsupport::TempHome home;
    const std::string path = home.path() + "/file";
    REQUIRE(writeFileAtomically(path, std::string("old content")));

    SECTION("an existing file is emptied; the descriptor is closed on exec") {
        const int fd = openForWriting(path);
        REQUIRE(fd >= 0);
        CHECK((::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0);
        CHECK(writeAll(fd, "new", 3));
        ::close(fd);
        CHECK(readTextFile(path) == std::optional<std::string>("new"));
    }
    SECTION("a new file gets the mode less the umask") {
        Umask mask(022);
        const int fd = openForWriting(home.path() + "/new", 0660);
        REQUIRE(fd >= 0);
        ::close(fd);
        CHECK(modeOf(home.path() + "/new") == 0640);
    }
    SECTION("a symbolic link in its place is refused and its target kept") {
        REQUIRE(::symlink(path.c_str(), (home.path() + "/link").c_str()) == 0);
        errno = 0;
        CHECK(openForWriting(home.path() + "/link") < 0);
        CHECK(errno == ELOOP);
        CHECK(readTextFile(path) == std::optional<std::string>("old content"));
    }
    SECTION("writes at an offset leave the file's position") {
        const int fd = openForWriting(path);
        REQUIRE(fd >= 0);
        CHECK(writeAll(fd, "abcdef", 6));
        CHECK(writeAllAt(fd, "XY", 2, 1));
        CHECK(writeAll(fd, "!", 1));
        ::close(fd);
        CHECK(readTextFile(path) == std::optional<std::string>("aXYdef!"));
    }
    SECTION("a full device's refusal is said") {
        const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (fd < 0) return; // a machine without one
        errno = 0;
        CHECK_FALSE(writeAll(fd, "x", 1));
        CHECK(errno == ENOSPC);
        ::close(fd);
    }
}

// A disk that takes no more is shown in a process of its own, this program run again for the hidden
// case below alone: a file size limit stands in for the full disk, as the limit applies to the whole
// process.
TEST_CASE("a disk that takes no more fails the write and keeps what was stored", "[files][full-disk]") {
    testsupport::TempHome home;
    const auto child =
        testsupport::runThisProgram("[files-full-disk-child]", {{"ZARUVEDEZ_FULL_DISK_CHILD", home.path()}});
    INFO(child.out << child.err);
    CHECK(child.exitedWith(0));
    CHECK(child.out.find("All tests passed") != std::string::npos);
}

TEST_CASE("writes past a file size limit, in a process of their own", "[.][files-full-disk-child]") {
    const char* folder = std::getenv("ZARUVEDEZ_FULL_DISK_CHILD");
    if (!folder) return; // only ever run by the case above
    constexpr size_t kLimit = 8192;
    const Data stored(kLimit / 2, 's');
    const Data large(3 * kLimit, 'n');
    const std::string path = std::string(folder) + "/stored";
    REQUIRE(writeFileAtomically(path, stored));
    REQUIRE(writeFileAtomically(path + "-private", stored, 0600));
    const size_t before = entriesIn(folder);

    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
    struct rlimit limit {
        kLimit, kLimit
    };
    REQUIRE(::setrlimit(RLIMIT_FSIZE, &limit) == 0);

    SECTION("a replacement leaves the file as it was and no temporary beside it") {
        for (const FileSync sync : {FileSync::None, FileSync::Data, FileSync::DataAndFolder}) {
            errno = 0;
            CHECK_FALSE(replaceFile(path, large.data(), large.size(), sync));
            CHECK(errno == EFBIG);
        }
        errno = 0;
        CHECK_FALSE(writeFileAtomically(path + "-private", large, 0600));
        CHECK(errno == EFBIG);
        CHECK(readFile(path) == std::optional<Data>(stored));
        CHECK(readFile(path + "-private") == std::optional<Data>(stored));
        CHECK(modeOf(path + "-private") == 0600);
        CHECK(entriesIn(folder) == before);
        // What fits is still written.
        CHECK(writeFileAtomically(path, large.data(), kLimit));
    }
    SECTION("a write in place takes what fits and then fails") {
        const int fd = openForWriting(std::string(folder) + "/in-place");
        REQUIRE(fd >= 0);
        errno = 0;
        CHECK_FALSE(writeAll(fd, large.data(), large.size()));
        CHECK(errno == EFBIG);
        CHECK(fs::file_size(std::string(folder) + "/in-place") == kLimit);
        errno = 0;
        CHECK_FALSE(writeAllAt(fd, large.data(), 100, kLimit - 50));
        CHECK(errno == EFBIG);
        CHECK(writeAllAt(fd, large.data(), 100, 0));
        ::close(fd);
    }
}

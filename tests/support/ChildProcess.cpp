#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "tests/support/TestHome.h"

extern char** environ;

namespace testsupport {

namespace {

// Everything the child gets is made here, before it exists.
struct Strings {
    std::vector<std::string> strings;
    std::vector<char*> pointers;
    char* const* terminated() {
        pointers.clear();
        for (auto& s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
        return pointers.data();
    }
};

Strings environmentWith(const ChildEnvironment& environment) {
    Strings env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string line(*entry);
        const std::string name = line.substr(0, line.find('='));
        if (std::none_of(environment.begin(), environment.end(),
                         [&](const auto& variable) { return variable.first == name; }))
            env.strings.push_back(line);
    }
    for (const auto& [name, value] : environment)
        env.strings.push_back(name + "=" + value);
    return env;
}

[[noreturn]] void fail(const char* what, int error) {
    throw std::system_error(error, std::generic_category(), what);
}

pid_t spawn(const std::string& spec, const ChildEnvironment& environment,
            const posix_spawn_file_actions_t& actions) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    // A spec that matches no test case fails the child rather than passing with nothing run.
    Strings argv{{self, spec, "--warn", "NoTests"}, {}};
    Strings envp = environmentWith(environment);
    pid_t pid = -1;
    if (int error =
            ::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.terminated(), envp.terminated()))
        fail("posix_spawn", error);
    return pid;
}

struct FileActions {
    posix_spawn_file_actions_t actions;
    FileActions() { ::posix_spawn_file_actions_init(&actions); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
};

struct Pipe {
    int read = -1;
    int write = -1;
    // Close-on-exec: no other process started meanwhile keeps the writing end open.
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe2", errno);
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeRead() {
        if (read >= 0) ::close(std::exchange(read, -1));
    }
    void closeWrite() {
        if (write >= 0) ::close(std::exchange(write, -1));
    }
};

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) fail("waitpid", errno);
    return status;
}

} // namespace

ChildRun runThisProgram(const std::string& spec, const ChildEnvironment& environment,
                        std::chrono::seconds limit) {
    // The child's temporary folders go into one of ours, removed with it, however the child ends.
    const std::string tmp = makeTempDir("child");
    ChildEnvironment env = environment;
    if (std::none_of(env.begin(), env.end(), [](const auto& v) { return v.first == "TMPDIR"; }))
        env.emplace_back("TMPDIR", tmp);

    Pipe out, err;
    FileActions files;
    ::posix_spawn_file_actions_adddup2(&files.actions, out.write, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&files.actions, err.write, STDERR_FILENO);
    const pid_t pid = spawn(spec, env, files.actions);
    out.closeWrite();
    err.closeWrite();

    ChildRun run;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    struct Stream {
        Pipe& pipe;
        std::string& text;
    };
    Stream streams[] = {{out, run.out}, {err, run.err}};
    for (;;) {
        pollfd fds[2];
        nfds_t open = 0;
        for (auto& s : streams)
            if (s.pipe.read >= 0) fds[open++] = {s.pipe.read, POLLIN, 0};
        if (open == 0) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            break;
        }
        const int ready = ::poll(fds, open, int(std::min<long long>(left.count(), 60'000)));
        if (ready < 0 && errno != EINTR) fail("poll", errno);
        for (auto& s : streams) {
            if (s.pipe.read < 0) continue;
            const auto* fd =
                std::find_if(fds, fds + open, [&](const pollfd& p) { return p.fd == s.pipe.read; });
            if (fd == fds + open || fd->revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(s.pipe.read, buffer, sizeof buffer);
            if (n > 0)
                s.text.append(buffer, size_t(n));
            else if (n == 0 || errno != EINTR)
                s.pipe.closeRead();
        }
    }
    if (run.timedOut) ::kill(pid, SIGKILL);
    const int status = waitFor(pid);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    std::error_code ec;
    std::filesystem::remove_all(tmp, ec);
    return run;
}

pid_t startThisProgram(const std::string& spec, const ChildEnvironment& environment) {
    FileActions files;
    ::posix_spawn_file_actions_addopen(&files.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&files.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    return spawn(spec, environment, files.actions);
}

} // namespace testsupport

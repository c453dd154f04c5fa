#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwick::testing {

// How the test file system answers; the names are shell patterns matched
// against the last part of a path (see tests/testfs/tarnwick_testfs.c).
struct TestFsOptions {
    std::chrono::microseconds latency{0};
    std::vector<std::string> hangOpen;
    std::vector<std::string> hangRead;
    std::vector<std::string> hangLookup;
    std::vector<std::string> eio;
    // "NAME=ERRNO": a look-up of a matching name fails with that error number.
    std::vector<std::string> lookupError;
    // Listing a matching folder fails with EIO after its first entry.
    std::vector<std::string> listError;
};

// Why the test file system cannot be mounted here; nothing when it can.
inline std::optional<std::string> TestFsUnavailable() {
    if (access(TARNWICK_TESTFS_PROGRAM, X_OK) != 0) {
        return std::string("the test file system is not built: ") + TARNWICK_TESTFS_PROGRAM;
    }
    const int fuse = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0) return std::string("cannot open /dev/fuse: ") + std::strerror(errno);
    close(fuse);
    return std::nullopt;
}

// A fresh mount of the test file system under the temporary folder: what
// is written into Source() shows under Mount(). Ending it, or its going
// away, ends the daemon, which makes every call still blocked in it return
// with an error, and unmounts.
class ScopedTestFs {
public:
    explicit ScopedTestFs(const TestFsOptions& options = {})
        : m_base(MakeBase()), m_source(m_base + "/source"), m_mount(m_base + "/mount") {
        try {
            std::filesystem::create_directory(m_source);
            std::filesystem::create_directory(m_mount);
            Start(options);
        } catch (...) {
            End();
            std::filesystem::remove_all(m_base);
            throw;
        }
    }
    ScopedTestFs(const ScopedTestFs&) = delete;
    ScopedTestFs& operator=(const ScopedTestFs&) = delete;
    ~ScopedTestFs() {
        End();
        std::error_code ignored;
        std::filesystem::remove_all(m_base, ignored);
    }

    const std::string& Source() const { return m_source; }
    const std::string& Mount() const { return m_mount; }
    std::string PathOf(std::string_view name) const { return m_mount + "/" + std::string(name); }

    // Writes name into the source folder, making its folders; gives its
    // path under the mount.
    std::string Write(std::string_view name, std::string_view content) const {
        const std::filesystem::path path = m_source + "/" + std::string(name);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) throw std::runtime_error("cannot write " + path.string());
        return PathOf(name);
    }

    // Kills the daemon of every test file system of this process still
    // mounted: the last resort of a test left blocked in one, since a call
    // the daemon took ignores even SIGKILL until the daemon ends.
    static void KillAll() {
        const std::lock_guard lock(Daemons().mutex);
        for (const pid_t daemon : Daemons().pids) kill(daemon, SIGKILL);
    }

    // May be called from several threads at once: the daemon is checked
    // under the lock, since kill(-1) would signal every process there is.
    void End() {
        const std::lock_guard lock(Daemons().mutex);
        if (m_daemon > 0) {
            kill(m_daemon, SIGTERM);
            if (!Reaped(std::chrono::seconds(5))) {
                kill(m_daemon, SIGKILL);
                waitpid(m_daemon, nullptr, 0);
            }
            Forget();
        }
        // The daemon unmounts on its way out unless it was killed.
        if (DeviceOf(m_mount) != DeviceOf(m_base)) Run({"fusermount3", "-u", "-z", m_mount});
    }

private:
    struct DaemonList {
        std::mutex mutex;
        std::set<pid_t> pids;
    };

    static DaemonList& Daemons() {
        static DaemonList daemons;
        return daemons;
    }

    static std::string MakeBase() {
        std::string base = (std::filesystem::temp_directory_path() / "tarnwick-testfs-XXXXXX");
        if (!mkdtemp(base.data())) throw std::runtime_error("cannot make " + base);
        // Other users reach the mount too.
        std::filesystem::permissions(base, std::filesystem::perms(0755));
        return base;
    }

    // The device of path; nothing while it cannot be looked up (a mount
    // whose daemon is gone).
    static std::optional<dev_t> DeviceOf(const std::string& path) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) return std::nullopt;
        return info.st_dev;
    }

    static pid_t Spawn(const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t child = -1;
        if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("cannot start " + arguments[0]);
        }
        return child;
    }

    static void Run(const std::vector<std::string>& arguments) {
        waitpid(Spawn(arguments), nullptr, 0);
    }

    void Start(const TestFsOptions& options) {
        std::vector<std::string> arguments = {TARNWICK_TESTFS_PROGRAM, m_source, m_mount, "-f"};
        if (geteuid() == 0) arguments.insert(arguments.end(), {"-o", "allow_other"});
        arguments.insert(arguments.end(),
                         {"--latency-us", std::to_string(options.latency.count())});
        for (const auto& [option, names] : {std::pair{"--hang-open", &options.hangOpen},
                                            {"--hang-read", &options.hangRead},
                                            {"--hang-lookup", &options.hangLookup},
                                            {"--eio", &options.eio},
                                            {"--lookup-error", &options.lookupError},
                                            {"--list-error", &options.listError}}) {
            for (const std::string& name : *names)
                arguments.insert(arguments.end(), {option, name});
        }
        m_daemon = Spawn(arguments);
        {
            const std::lock_guard lock(Daemons().mutex);
            Daemons().pids.insert(m_daemon);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (DeviceOf(m_mount) == DeviceOf(m_base)) {
            if (Reaped(std::chrono::milliseconds(10))) {
                const std::lock_guard lock(Daemons().mutex);
                Forget();
                throw std::runtime_error("the test file system ended before it mounted");
            }
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("the test file system did not mount in 10 s");
            }
        }
    }

    // Once the daemon is reaped its id may be reused: it must not be
    // signalled again.
    void Forget() {
        Daemons().pids.erase(m_daemon);
        m_daemon = -1;
    }

    // Whether the daemon ended within limit.
    bool Reaped(std::chrono::steady_clock::duration limit) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            if (waitpid(m_daemon, nullptr, WNOHANG) == m_daemon) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    std::string m_base;
    std::string m_source;
    std::string m_mount;
    pid_t m_daemon = -1;
};

}  // namespace tarnwick::testing

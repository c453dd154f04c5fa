// The project's test file system answers as it is told, slowly, with EIO or
// never, without holding up the other calls; and once it ends, every call it
// held returns with an error.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "scoped_test_fs.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::ScopedTestFs;
using testing::TestFsOptions;
using testing::TestFsUnavailable;

enum class Step { LookUp, Open, Read, Done };

// How far a plain reading of one file got, and why it stopped there.
struct Reading {
    std::atomic<Step> reached{Step::LookUp};
    int error = 0;
    std::string content;
};

void Read(const std::string& path, Reading& reading) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        reading.error = errno;
        return;
    }
    reading.reached = Step::Open;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reading.error = errno;
        return;
    }
    reading.reached = Step::Read;
    char buffer[64];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    reading.error = got < 0 ? errno : 0;
    close(fd);
    if (got < 0) return;
    reading.content.assign(buffer, static_cast<std::size_t>(got));
    reading.reached = Step::Done;
}

std::map<std::string, unsigned char> TypesIn(const std::string& folder) {
    std::map<std::string, unsigned char> types;
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) types[entry->d_name] = entry->d_type;
        closedir(listing);
    }
    return types;
}

// Runs body on a thread of its own: a fault that leaves it blocked fails
// the test instead of hanging the suite.
void RunBounded(std::chrono::seconds limit, const std::function<void()>& body) {
    auto run = std::async(std::launch::async, body);
    if (run.wait_for(limit) == std::future_status::ready) return run.get();
    ADD_FAILURE() << "still blocked after " << limit.count() << " s";
    ScopedTestFs::KillAll();
    if (run.wait_for(limit) == std::future_status::ready) return run.get();
    std::fprintf(stderr, "still blocked with no daemon left\n");
    std::_Exit(EXIT_FAILURE);
}

TEST(TestFs, AnswersSlowlyFailsOrNeverWithoutHoldingUpTheRest) {
    // CI fails on a line that starts so.
    if (const auto reason = TestFsUnavailable()) GTEST_SKIP() << "SKIPPED: " << *reason;
    constexpr auto kLatency = 20ms;
    const struct {
        std::string name;
        bool hangs;
        Step stopsAt;
        int error;
    } cases[] = {
        {"read-hangs.txt", true, Step::Read, 0},
        {"open-hangs.txt", true, Step::Open, 0},
        // A look-up that hangs holds up the others in its folder.
        {"dead/lookup-hangs.txt", true, Step::LookUp, 0},
        {"plain.txt", false, Step::Done, 0},
        {"eio.txt", false, Step::Read, EIO},
        {"lookup-fails.txt", false, Step::LookUp, EACCES},
    };
    RunBounded(60s, [&] {
        auto fs = std::make_unique<ScopedTestFs>(
            TestFsOptions{.latency = kLatency,
                          .hangOpen = {"open-hangs*"},
                          .hangRead = {"read-hangs*"},
                          .hangLookup = {"lookup-hangs*"},
                          .eio = {"eio*"},
                          .lookupError = {"lookup-fails*=" + std::to_string(EACCES)},
                          .listError = {}});
        std::vector<Reading> readings(std::size(cases));
        std::vector<std::future<void>> hanging;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const std::string path = fs->Write(cases[i].name, cases[i].name);
            if (cases[i].hangs)
                hanging.push_back(
                    std::async(std::launch::async, Read, path, std::ref(readings[i])));
        }
        std::this_thread::sleep_for(10 * kLatency);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            if (cases[i].hangs) continue;
            const auto start = std::chrono::steady_clock::now();
            Read(fs->PathOf(cases[i].name), readings[i]);
            // A look-up, an open and a read, each after the latency, up to the failing one.
            const int calls = std::min(static_cast<int>(cases[i].stopsAt) + 1, 3);
            EXPECT_GE(std::chrono::steady_clock::now() - start, calls * kLatency) << cases[i].name;
        }
        const auto types = TypesIn(fs->Mount());
        EXPECT_EQ(types.at("plain.txt"), DT_REG);
        EXPECT_EQ(types.at("dead"), DT_DIR);
        for (const auto& call : hanging) EXPECT_EQ(call.wait_for(0s), std::future_status::timeout);

        fs.reset();
        for (const auto& call : hanging) ASSERT_EQ(call.wait_for(10s), std::future_status::ready);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(cases[i].name);
            EXPECT_EQ(readings[i].reached, cases[i].stopsAt);
            if (cases[i].hangs) {
                EXPECT_NE(readings[i].error, 0) << "released without an error";
            } else {
                EXPECT_EQ(readings[i].error, cases[i].error) << std::strerror(readings[i].error);
            }
            if (cases[i].stopsAt == Step::Done) {
                EXPECT_EQ(readings[i].content, cases[i].name);
            }
        }
    });
}

}  // namespace
}  // namespace tarnwick

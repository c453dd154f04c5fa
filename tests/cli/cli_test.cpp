// tarnwick-cli as a process: its output, reports and exit status for the
// entries, options and input it is given, and Ctrl-C during a dead read.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "corpus.h"
#if TARNWICK_WITH_TEST_FS
#include "scoped_test_fs.h"
#endif

extern char** environ;

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> Split(const std::string& text, char end = '\n') {
    std::vector<std::string> pieces;
    std::istringstream in(text);
    for (std::string piece; std::getline(in, piece, end);) pieces.push_back(piece);
    return pieces;
}

class CliTest : public ::testing::Test {
protected:
    struct Outcome {
        int status = -1;
        std::string out;
        std::string err;
    };

    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("tarnwick-cli-test-" + std::to_string(getpid()));
        fs::create_directories(m_folder);
        m_folder = fs::canonical(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string Write(const std::string& name, const std::string& content) const {
        WriteFile(m_folder / name, content);
        return (m_folder / name).string();
    }

    // Starts the program with input on its standard input; output and
    // errors go to files read by Finish.
    // errorTerminal: a terminal for standard error instead of a file.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& input = {},
                int errorTerminal = -1) {
        WriteFile(m_folder / "stdin", input);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        const std::string in = m_folder / "stdin", out = m_folder / "stdout",
                          err = m_folder / "stderr";
        posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (errorTerminal >= 0) {
            posix_spawn_file_actions_adddup2(&files, errorTerminal, 2);
        } else {
            posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        }
        std::vector<char*> argv{const_cast<char*>(TARNWICK_CLI_PROGRAM)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t child = -1;
        EXPECT_EQ(posix_spawn(&child, argv[0], &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        return child;
    }

    Outcome Finish(pid_t child) const {
        int status = 0;
        waitpid(child, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_folder / "stdout"),
                ReadFile(m_folder / "stderr")};
    }

    Outcome Run(const std::vector<std::string>& arguments, const std::string& input = {}) {
        return Finish(Start(arguments, input));
    }

    fs::path m_folder;
};

// The window's answers on the corpus, in both case modes, through a list file
// and through a folder tree by extension.
TEST_F(CliTest, ListsWhatTheWindowListsOnTheCorpus) {
    const std::string corpus = m_folder / "corpus";
    ASSERT_TRUE(tarnwick::test::MakeTinyCorpus(corpus));
    const std::vector<std::string> listed = Split(ReadFile(corpus + "/files.txt"));
    const std::vector<std::string> walked = Split(ReadFile(corpus + "/walk-txt.txt"));
    for (const auto& [expectedFile, option] :
         {std::pair{"expected-cs.txt", "--quiet"}, std::pair{"expected-ci.txt", "-i"}}) {
        std::set<std::string> lacking;
        for (const std::string& relative : Split(ReadFile(corpus + "/" + expectedFile)))
            lacking.insert(corpus + "/tree/" + relative);
        std::vector<std::string> fromList, fromTree;
        std::copy_if(listed.begin(), listed.end(), std::back_inserter(fromList),
                     [&](const std::string& path) { return lacking.contains(path); });
        // The walk takes a link to a file, which files.txt leaves out.
        for (const std::string& relative : walked) {
            const std::string path = corpus + "/tree/" + relative;
            if (lacking.contains(fs::canonical(path).string())) fromTree.push_back(path);
        }

        // The list file ends in a line feed: its empty last line is an entry
        // of its own, which the window reports as neither file nor folder.
        const Outcome list = Run({option, "--list", corpus + "/files.txt", "Quarterly Revenue"});
        EXPECT_THAT(Split(list.out), ElementsAreArray(fromList)) << option;
        EXPECT_EQ(list.status, 2);
        EXPECT_EQ(Split(list.err).size(), 1u) << list.err;

        const Outcome tree =
            Run({option, "--tree", corpus + "/tree", "--ext", "txt", "Quarterly Revenue"});
        std::vector<std::string> found = Split(tree.out);
        std::sort(found.begin(), found.end());
        EXPECT_THAT(found, ElementsAreArray(fromTree)) << option;
        EXPECT_EQ(tree.status, 0) << tree.err;
    }
}

TEST_F(CliTest, ExitStatusSaysListedNoneOrReportedAndTheRunGoesOnAfterAReport) {
    const std::string hay = Write("hay.txt", "hay hay"), needle = Write("needle.txt", "a needle");
    const std::string both = Write("both.txt", "hay, a needle"),
                      straw = Write("straw.txt", "straw");
    const std::string missing = (m_folder / "missing.txt").string();
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::vector<std::string> out;
        std::string err;
    } cases[] = {
        {{"needle", hay, needle}, 0, {hay}, ""},
        {{"needle", needle}, 1, {}, ""},
        {{"needle", missing, hay}, 2, {hay}, "missing.txt"},
        {{"--list", missing, "needle", hay}, 2, {hay}, "missing.txt"},
        {{"--lacking", "hay", "--lacking", "needle", hay, needle, both, straw}, 0, {straw}, ""},
        {{"--containing", "hay", "--lacking", "needle", hay, needle, both, straw}, 0, {hay}, ""},
        {{"--containing", "hay", "--containing", "needle", hay, needle, both, straw},
         0,
         {both},
         ""},
        {{"needle"}, 2, {}, "no entries"},
        {{"  ", hay}, 2, {}, "only spaces"},
        {{"--unknown", "needle", hay}, 2, {}, "--help"},
    };
    for (const auto& [arguments, status, out, err] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, status) << arguments.front() << ": " << outcome.err;
        EXPECT_THAT(Split(outcome.out), ElementsAreArray(out)) << arguments.front();
        EXPECT_THAT(outcome.err, HasSubstr(err)) << arguments.front();
        EXPECT_LE(Split(outcome.err).size(), 2u) << outcome.err;
    }
}

// A name that is not UTF-8 comes out as the bytes it came in.
TEST_F(CliTest, PathsComeInAndGoOutByLinesOrNulsWithTheirBytes) {
    const std::string plain = Write("plain.txt", "hay"), latin = Write("caf\xe9.txt", "hay");
    const std::string both = plain + '\0' + latin + '\0';
    EXPECT_EQ(Run({"--null-data", "-0", "needle", "-"}, both).out, both);
    EXPECT_EQ(Run({"needle", "-"}, plain + "\r\n" + latin + "\n").out, plain + "\n" + latin + "\n");
    const Outcome counted = Run({"--count", "--summary", "needle", plain, "-", latin}, plain);
    EXPECT_EQ(counted.out, "3\n");
    EXPECT_EQ(counted.err, "entries 3, files tested 3, listed 3, not text 0, reported 0\n");
}

#if TARNWICK_WITH_TEST_FS
// The main thread has ended when the process's leader is a zombie; a thread
// held in the dead read keeps the process until the file system goes away.
char StateOf(pid_t process) {
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string pid, name, state;
    stat >> pid >> name >> state;
    return state.empty() ? '?' : state[0];
}

bool AnyThreadWaitsOnDisk(pid_t process) {
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(process) + "/task")) {
        std::ifstream stat(task.path() / "stat");
        std::string pid, name, state;
        stat >> pid >> name >> state;
        if (state == "D" || ReadFile(task.path() / "wchan").find("fuse") != std::string::npos)
            return true;
    }
    return false;
}

// A run slow enough for several redraws, on a terminal 40 columns wide.
TEST_F(CliTest, TheProgressLineFitsTheTerminalAndIsErasedAtTheEnd) {
    if (const auto why = tarnwick::testing::TestFsUnavailable()) GTEST_SKIP() << *why;
    tarnwick::testing::TestFsOptions options;
    options.latency = std::chrono::milliseconds(20);
    tarnwick::testing::ScopedTestFs share(options);
    std::vector<std::string> arguments = {"needle"};
    for (int i = 0; i < 10; ++i)
        arguments.push_back(
            share.Write("a-name-longer-than-the-terminal-" + std::to_string(i), "hay"));
    int terminal = -1, other = -1;
    winsize size{};
    size.ws_col = 40;
    ASSERT_EQ(openpty(&terminal, &other, nullptr, nullptr, &size), 0);
    const pid_t child = Start(arguments, {}, other);
    close(other);
    std::string shown;
    char block[4096];
    for (ssize_t got; (got = read(terminal, block, sizeof block)) > 0;) shown.append(block, got);
    close(terminal);
    EXPECT_EQ(Finish(child).status, 0);

    const std::vector<std::string> lines = Split(shown, '\r');
    EXPECT_THAT(lines, Contains(MatchesRegex("[0-9]+/10 \\.\\.\\..*-[0-9]"))) << shown;
    for (const std::string& line : lines) EXPECT_LE(line.size(), 39u) << line;
    EXPECT_TRUE(shown.ends_with("\r" + std::string(39, ' ') + "\r")) << shown;
}

TEST_F(CliTest, CtrlCDuringAReadThatNeverAnswersEndsItAtOnce) {
    if (const auto why = tarnwick::testing::TestFsUnavailable()) GTEST_SKIP() << *why;
    tarnwick::testing::TestFsOptions options;
    options.hangRead = {"dead.txt"};
    tarnwick::testing::ScopedTestFs share(options);
    const std::string dead = share.Write("dead.txt", "hay");
    const pid_t child = Start({"needle", share.Write("first.txt", "hay"), dead});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!AnyThreadWaitsOnDisk(child) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(AnyThreadWaitsOnDisk(child)) << "the program never started reading";

    kill(child, SIGINT);
    const auto ended = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (StateOf(child) != 'Z' && std::chrono::steady_clock::now() < ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(StateOf(child), 'Z') << "the program still ran 2 s after Ctrl-C";
    share.End();
    EXPECT_EQ(Finish(child).status, 130);
}
#endif

}  // namespace

// Files and paths that could hang, exhaust or mislead the program: special
// files, paths the system cannot take, files that change while read, folders
// that cannot be written, and trees of unusual shape.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/content_test.h"
#include "engine/file_replacement.h"
#include "engine/file_system.h"
#include "engine/folder_walk.h"
#include "engine/readable_file.h"
#include "replace_file.h"
#include "temp_dir.h"
#include "unprivileged.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;
using testing::AsUnprivilegedUser;
using testing::TempDir;

std::string MakeSocket(const TempDir& dir, std::string_view name) {
    const std::string path = dir.PathOf(name);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0) << path;
    close(fd);
    return path;
}

std::string MakeLink(const std::string& target, const std::string& link) {
    EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
    return link;
}

std::string Contents(const std::string& path) {
    auto file = ReadableFile::Open(path);
    return file ? file.Value().ReadAll(1 << 20).Value() : "(cannot open)";
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int ErrorOf(const Expected<void>& outcome) {
    return outcome ? 0 : outcome.Error().code;
}

TEST(RefusedPaths, AreTurnedAwayBeforeAnyLookup) {
    TempDir dir;
    const std::string file = dir.WriteFile("a.txt", "abc");
    const std::string longName(NAME_MAX + 1, 'n');
    std::string deep;
    while (deep.size() < PATH_MAX) deep += "/d";
    const struct {
        std::string path;
        int code;
    } cases[] = {
        {file + "\0.bak"s, EINVAL},    {dir.Path() + "\0/x"s, EINVAL},
        {dir.Path() + "/\0"s, EINVAL}, {dir.PathOf(longName), ENAMETOOLONG},
        {deep, ENAMETOOLONG},          {"/" + std::string(10 << 20, 'a'), ENAMETOOLONG},
    };
    for (const auto& [path, code] : cases) {
        const std::string shown = path.substr(0, 80);
        EXPECT_EQ(QueryPathKind(path), PathKind::Missing) << shown;
        EXPECT_TRUE(IsNameRefused(path)) << shown;
        EXPECT_EQ(QueryEntryAttributes(path).type, EntryType::Unreadable) << shown;
        EXPECT_EQ(ErrorOf(CheckIsFolder(path)), code) << shown;
        EXPECT_EQ(ErrorOf(ForEachFolderEntry(path, [](const FolderEntry&) {})), code) << shown;
        const auto opened = ReadableFile::Open(path);
        ASSERT_FALSE(opened.HasValue()) << shown;
        EXPECT_EQ(opened.Error().code, code) << shown;
        EXPECT_EQ(FileReplacement::Begin(path).Error().code, code) << shown;
        const PhraseMatcher matcher("x", CaseMode::Sensitive);
        EXPECT_EQ(TestFileContent(path, matcher, [] { return true; }).Value(), Verdict::NotAFile)
            << shown;
    }
}

// Whatever is not a regular file could block, never end or be no file at all.
TEST(ReadAll, ReadsOnlyARegularFileOfBoundedSize) {
    TempDir dir;
    const std::string fifo = dir.MakeFifo("fifo");
    const struct {
        std::string path;
        std::string outcome;
    } cases[] = {
        {dir.WriteFile("list.txt", "/a\r\n/b"), "/a\r\n/b"},
        {dir.WriteFile("empty.txt", ""), ""},
        // Its size says 0, whatever reading it would give.
        {"/proc/self/status", ""},
        {fifo, "Cannot read \"" + fifo + "\": not a regular file"},
        {"/dev/zero", "Cannot read \"/dev/zero\": not a regular file"},
        {"/dev/urandom", "Cannot read \"/dev/urandom\": not a regular file"},
        {dir.MakeFolder("folder"),
         "Cannot read \"" + dir.PathOf("folder") + "\": not a regular file"},
        {dir.WriteFile("big.txt", std::string(65, 'x')),
         "Cannot read \"" + dir.PathOf("big.txt") + "\": larger than 64 bytes"},
    };
    for (const auto& [path, outcome] : cases) {
        auto file = ReadableFile::Open(path);
        ASSERT_TRUE(file.HasValue()) << file.Error().description;
        const auto content = file.Value().ReadAll(64);
        EXPECT_EQ(content ? content.Value() : content.Error().description, outcome);
    }
    const std::string socket = MakeSocket(dir, "socket");
    EXPECT_EQ(ReadableFile::Open(socket).Error().description,
              "Cannot open \"" + socket + "\": No such device or address");
}

TEST(ReadAll, TakesTheFileAsItWasWhenOpened) {
    TempDir dir;
    const struct {
        const char* change;
        std::function<void(const std::string&)> apply;
        std::string content;
    } cases[] = {
        {"grown", [](const std::string& path) { std::ofstream(path, std::ios::app) << "/more"; },
         "/a\n/b\n"},
        {"truncated", [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 3), 0); },
         "/a\n"},
        {"deleted", [](const std::string& path) { ASSERT_EQ(unlink(path.c_str()), 0); },
         "/a\n/b\n"},
    };
    for (const auto& [change, apply, content] : cases) {
        const std::string path = dir.WriteFile(change, "/a\n/b\n");
        auto file = ReadableFile::Open(path);
        apply(path);
        EXPECT_EQ(file.Value().ReadAll(1 << 20).Value(), content) << change;
    }
}

TEST(TestFileContent, FilesChangingWhileReadGiveTheVerdictOnWhatWasThere) {
    TempDir dir;
    const std::string phrase = "needle";
    const std::string blocks(3 * kBlockSize, 'x');
    const struct {
        const char* change;
        std::string content;
        std::function<void(const std::string&)> apply;
        Verdict verdict;
    } cases[] = {
        {"grown", blocks,
         [&](const std::string& path) { std::ofstream(path, std::ios::app) << phrase; },
         Verdict::Lacks},
        {"truncated", blocks + phrase,
         [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), kBlockSize), 0); },
         Verdict::Lacks},
        {"deleted", blocks + phrase,
         [](const std::string& path) { ASSERT_EQ(unlink(path.c_str()), 0); }, Verdict::Contains},
    };
    const PhraseMatcher matcher(phrase, CaseMode::Sensitive);
    for (const auto& [change, content, apply, verdict] : cases) {
        const std::string path = dir.WriteFile(change, content);
        bool changed = false;
        const auto outcome = TestFileContent(path, matcher, [&, &apply = apply] {
            if (!std::exchange(changed, true)) apply(path);
            return true;
        });
        ASSERT_TRUE(outcome.HasValue()) << change << ": " << outcome.Error().description;
        EXPECT_EQ(outcome.Value(), verdict) << change;
    }
}

TEST(TestFileContent, SpecialFilesLinkLoopsAndSparseGiantsCostNothing) {
    TempDir dir;
    const std::string sparse = dir.WriteFile("sparse.txt", "");
    ASSERT_EQ(truncate(sparse.c_str(), 5LL << 30), 0);
    const struct {
        std::string path;
        Verdict verdict;
    } cases[] = {
        {sparse, Verdict::NonText},
        {"/dev/zero", Verdict::NotTested},
        {"/dev/null", Verdict::NotTested},
        {dir.MakeFifo("fifo"), Verdict::NotTested},
        {MakeSocket(dir, "socket"), Verdict::NotTested},
        {MakeLink(dir.PathOf("gone"), dir.PathOf("dangling")), Verdict::NotAFile},
    };
    const PhraseMatcher matcher("x", CaseMode::Sensitive);
    for (const auto& [path, verdict] : cases) {
        EXPECT_EQ(TestFileContent(path, matcher, [] { return true; }).Value(), verdict) << path;
    }
    // A link loop names no file, but the look-up fails rather than finding nothing.
    for (const std::string& loop : {MakeLink(dir.PathOf("loop-b"), dir.PathOf("loop-a")),
                                    MakeLink(dir.PathOf("loop-a"), dir.PathOf("loop-b"))}) {
        EXPECT_EQ(TestFileContent(loop, matcher, [] { return true; }).Error().description,
                  "Cannot look up \"" + loop + "\": Too many levels of symbolic links");
    }
    EXPECT_EQ(
        OpenFolder(dir.PathOf("loop-a")).Error().description,
        "Cannot open folder \"" + dir.PathOf("loop-a") + "\": Too many levels of symbolic links");
}

using testing::Replace;

// The wait status of a child process that runs body and exits with what it
// gives.
int StatusOfChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Sends signal to a child process in the middle of a save over path: the
// child has written part of the new content and goes on writing. Gives the
// child's wait status.
int SignalMidSave(const std::string& path, int signal) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        Expected<FileReplacement> replacement = FileReplacement::Begin(path);
        const std::string part(64 << 10, 'n');
        if (!replacement || !replacement.Value().Write(part)) _exit(1);
        if (write(ready[1], "r", 1) != 1) _exit(1);
        for (int i = 0; i < 64; ++i) static_cast<void>(replacement.Value().Write(part));
        for (;;) pause();
    }
    close(ready[1]);
    char readyByte = 0;
    if (read(ready[0], &readyByte, 1) == 1) kill(child, signal);
    close(ready[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

enum class Place { OwnFolder, PassThrough };

void PrintTo(Place place, std::ostream* out) {
    *out << (place == Place::OwnFolder ? "OwnFolder" : "PassThrough");
}

// On a local file system the new file has no name until it is complete; a
// FUSE pass-through (bindfs, mounted over the test's folder) refuses such
// files, so there it is named beside the target from the start.
class FileReplacementTest : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        if (GetParam() == Place::OwnFolder) return;
        if (geteuid() != 0) GTEST_SKIP() << "mounting a FUSE pass-through needs the super-user";
        const std::string folder = "'" + m_dir.Path() + "'";
        m_mounted = std::system(("bindfs " + folder + " " + folder + " 2>&1").c_str()) == 0;
        if (!m_mounted) GTEST_SKIP() << "bindfs cannot mount a FUSE pass-through here";
    }
    void TearDown() override {
        if (m_mounted) {
            EXPECT_EQ(umount(m_dir.Path().c_str()), 0) << std::strerror(errno);
        }
    }

    TempDir m_dir;
    bool m_mounted = false;
};

INSTANTIATE_TEST_SUITE_P(Places, FileReplacementTest,
                         ::testing::Values(Place::OwnFolder, Place::PassThrough),
                         ::testing::PrintToStringParamName());

// A name of 250 bytes leaves no room for a suffix to it.
TEST_P(FileReplacementTest, TheOldFileStaysUntilTheNewOneIsComplete) {
    for (const std::string& name : {std::string("results.txt"), std::string(250, 'r')}) {
        const std::string path = m_dir.WriteFile(name, "old");
        ASSERT_EQ(chmod(path.c_str(), 0640), 0);
        {
            Expected<FileReplacement> replacement = FileReplacement::Begin(path);
            ASSERT_TRUE(replacement.HasValue());
            ASSERT_TRUE(replacement.Value().Write("abandoned").HasValue());
            EXPECT_EQ(Contents(path), "old");
        }
        EXPECT_EQ(NamesIn(m_dir.Path()), std::vector<std::string>{name});
        const Expected<void> replaced = Replace(path, "new");
        ASSERT_TRUE(replaced.HasValue()) << replaced.Error().description;
        EXPECT_EQ(Contents(path), "new");
        EXPECT_EQ(NamesIn(m_dir.Path()), std::vector<std::string>{name});
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        ASSERT_EQ(unlink(path.c_str()), 0);
    }
}

TEST_P(FileReplacementTest, ALinkStaysAndTheFileItPointsToIsReplaced) {
    const std::string target = m_dir.WriteFile("target.txt", "old");
    const std::string link = MakeLink(target, m_dir.PathOf("link.txt"));
    ASSERT_TRUE(Replace(link, "new").HasValue());
    EXPECT_EQ(QueryEntryAttributes(link).type, EntryType::SymbolicLink);
    EXPECT_EQ(Contents(target), "new");
}

TEST_P(FileReplacementTest, EveryFailureNamesTheFileAndTheSystemsReason) {
    const std::string path = m_dir.PathOf("results.txt");
    const struct {
        std::string path;
        std::string description;
    } cases[] = {
        {m_dir.PathOf("missing/r.txt"),
         "Cannot create \"" + m_dir.PathOf("missing/r.txt") + "\": No such file or directory"},
        {m_dir.MakeFolder("folder"),
         "Cannot write \"" + m_dir.PathOf("folder") + "\": not a regular file"},
        {m_dir.MakeFifo("fifo"),
         "Cannot write \"" + m_dir.PathOf("fifo") + "\": not a regular file"},
        {"/dev/null", "Cannot write \"/dev/null\": not a regular file"},
    };
    for (const auto& [target, description] : cases) {
        const Expected<void> outcome = Replace(target, "new");
        ASSERT_FALSE(outcome.HasValue()) << target;
        EXPECT_EQ(outcome.Error().description, description);
    }

    // The place is taken by a folder once the new file is written.
    Expected<FileReplacement> replacement = FileReplacement::Begin(path);
    ASSERT_TRUE(replacement.Value().Write("new").HasValue());
    m_dir.MakeFolder("results.txt/inside");
    const Expected<void> committed = replacement.Value().Commit();
    ASSERT_FALSE(committed.HasValue());
    EXPECT_EQ(committed.Error().description, "Cannot replace \"" + path + "\": Is a directory");
    EXPECT_EQ(NamesIn(m_dir.Path()), (std::vector<std::string>{"fifo", "folder", "results.txt"}));
}

TEST_P(FileReplacementTest, AReadOnlyFolderOrFileIsNotWrittenByAnOrdinaryUser) {
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
    const std::string readOnlyFolder = m_dir.MakeFolder("read-only");
    ASSERT_EQ(chmod(readOnlyFolder.c_str(), 0555), 0);
    const std::string writableFolder = m_dir.MakeFolder("writable");
    ASSERT_EQ(chmod(writableFolder.c_str(), 0777), 0);
    const std::string readOnlyFile = m_dir.WriteFile("writable/old.txt", "old");
    ASSERT_EQ(chmod(readOnlyFile.c_str(), 0444), 0);
    for (const std::string& path : {readOnlyFolder + "/new.txt", readOnlyFile}) {
        EXPECT_EQ(AsUnprivilegedUser([&] { return ErrorOf(Replace(path, "new")); }), EACCES)
            << path;
    }
    EXPECT_EQ(Contents(readOnlyFile), "old");
    EXPECT_EQ(NamesIn(writableFolder), std::vector<std::string>{"old.txt"});
}

// Whether folder takes files that have no name (FUSE and some shares do not).
bool TakesUnnamedFiles(const std::string& folder) {
    const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

// What a signal ends, it ends as it would have without a save; only SIGKILL,
// which cannot be answered, leaves a new file that has a name, where the
// folder takes no unnamed files.
TEST_P(FileReplacementTest, ASaveEndedByASignalLeavesTheOldFileWholeAndNothingElse) {
    const std::string path = m_dir.WriteFile("results.txt", "old");
    const struct {
        int signal;
        bool answered;
    } cases[] = {{SIGTERM, true}, {SIGINT, true}, {SIGHUP, true}, {SIGKILL, false}};
    for (const auto& [signal, answered] : cases) {
        const int status = SignalMidSave(path, signal);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << strsignal(signal) << ": wait status " << status;
        EXPECT_EQ(Contents(path), "old") << strsignal(signal);
        std::vector<std::string> names = NamesIn(m_dir.Path());
        if (!answered && !TakesUnnamedFiles(m_dir.Path())) {
            ASSERT_EQ(names.size(), 2u) << strsignal(signal);
            EXPECT_EQ(names.front().rfind(".tarnwick-", 0), 0u) << names.front();
            ASSERT_EQ(unlink(m_dir.PathOf(names.front()).c_str()), 0);
            names.erase(names.begin());
        }
        EXPECT_EQ(names, std::vector<std::string>{"results.txt"}) << strsignal(signal);
    }
}

// A signal the process ignores (SIGHUP under nohup) stays ignored during a
// save, and every signal is as it was once the save is done.
TEST_P(FileReplacementTest, ASaveLeavesTheSignalsAsItFoundThem) {
    const std::string path = m_dir.WriteFile("results.txt", "old");
    const auto disposition = [](int signal) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        return action.sa_handler;
    };
    const int status = StatusOfChild([&] {
        signal(SIGHUP, SIG_IGN);
        Expected<FileReplacement> replacement = FileReplacement::Begin(path);
        if (!replacement || !replacement.Value().Write("new")) return 1;
        raise(SIGHUP);
        if (!replacement.Value().Commit()) return 2;
        const bool restored = disposition(SIGHUP) == SIG_IGN && disposition(SIGTERM) == SIG_DFL &&
                              disposition(SIGINT) == SIG_DFL;
        return restored ? 0 : 3;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(Contents(path), "new");
    EXPECT_EQ(NamesIn(m_dir.Path()), std::vector<std::string>{"results.txt"});
}

// An unnamed file is linked in through /proc: without it, the new file is
// named beside the target from the start, with the same result.
TEST(FileReplacementWithoutProc, ReplacesTheFileAllTheSame) {
    if (geteuid() != 0) GTEST_SKIP() << "hiding /proc in a mount namespace needs the super-user";
    TempDir dir;
    const std::string path = dir.WriteFile("results.txt", "old");
    constexpr int kCannotHideProc = 77;
    const int status = StatusOfChild([&] {
        const bool hidden = unshare(CLONE_NEWNS) == 0 &&
                            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                            umount2("/proc", MNT_DETACH) == 0 && access("/proc/self", F_OK) != 0;
        if (!hidden) return kCannotHideProc;
        return ErrorOf(Replace(path, "new"));
    });
    ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status;
    if (WEXITSTATUS(status) == kCannotHideProc) GTEST_SKIP() << "/proc cannot be hidden here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << std::strerror(WEXITSTATUS(status));
    EXPECT_EQ(Contents(path), "new");
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"results.txt"});
}

TEST(Permissions, AnUnreadableFileOrFolderIsReportedToAnOrdinaryUser) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string file = dir.WriteFile("secret.txt", "abc");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    const std::string folder = dir.MakeFolder("closed");
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    const PhraseMatcher matcher("x", CaseMode::Sensitive);
    const std::function<int()> checks[] = {
        [&] { return ReadableFile::Open(file).Error().code; },
        [&] { return TestFileContent(file, matcher, [] { return true; }).Error().code; },
        [&] { return ListFilesInFolder(folder).Error().code; },
    };
    for (const auto& check : checks) EXPECT_EQ(AsUnprivilegedUser(check), EACCES);
    EXPECT_EQ(AsUnprivilegedUser([&] { return static_cast<int>(ListFiles(folder, "*").size()); }),
              0);
}

TEST(FolderWalk, ATreeThreeHundredLevelsDeepIsWalkedWhole) {
    TempDir dir;
    std::string deepest = dir.MakeFolder("deep");
    for (int level = 0; level < 300; ++level) deepest += "/d";
    std::filesystem::create_directories(deepest);
    dir.WriteFile(deepest.substr(dir.Path().size() + 1) + "/bottom.txt", "x");
    std::vector<std::string> folders{dir.PathOf("deep/")};
    CollectSubfolders(folders, true, [] {});
    ASSERT_EQ(folders.size(), 301u);
    EXPECT_EQ(folders.back(), deepest + "/");
    EXPECT_EQ(ListFiles(deepest, "*.*"), std::vector<std::string>{"bottom.txt"});
}

// In memory where the system has a tmpfs: on a disk the files alone take
// minutes on a busy machine.
TEST(FolderWalk, TwoHundredThousandFilesInOneFolderAreListedInOrder) {
    std::string folder =
        std::filesystem::is_directory("/dev/shm")
            ? "/dev/shm/tarnwick-wide-XXXXXX"
            : (std::filesystem::temp_directory_path() / "tarnwick-wide-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const int at = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    constexpr int kFiles = 200000;
    for (int i = 0; i < kFiles; ++i) {
        const int fd = openat(at, std::to_string(i).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    close(at);
    const std::vector<std::string> names = ListFiles(folder, "*.*");
    std::filesystem::remove_all(folder);
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kFiles));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), NameLess));
}

// Beyond PATH_MAX bytes no path names a folder: the walk goes as deep as
// paths reach and leaves out the rest.
TEST(FolderWalk, StopsWherePathsGrowBeyondWhatTheSystemTakes) {
    TempDir dir;
    const std::string root = dir.MakeFolder("r");
    const std::string name(200, 'n');
    int at = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 30; ++level) {
        ASSERT_EQ(mkdirat(at, name.c_str(), 0755), 0);
        const int next = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(at);
        at = next;
    }
    close(at);
    std::size_t reachable = 1;
    for (std::string path = root + "/"; path.size() < PATH_MAX; path += name + "/") ++reachable;

    std::vector<std::string> folders{root + "/"};
    CollectSubfolders(folders, true, [] {});
    EXPECT_EQ(folders.size(), reachable);
    // remove_all names every entry by its full path; rm does not.
    EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
}

}  // namespace
}  // namespace tarnwick

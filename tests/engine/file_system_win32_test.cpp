// What only Windows has: file attributes, drive roots, UTF-16 names, the
// ANSI code page and the system's own error texts.
#include "engine/file_system_win32.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/content_test.h"
#include "engine/file_replacement.h"
#include "engine/file_system.h"
#include "engine/folder_walk.h"
#include "engine/path_text.h"
#include "engine/readable_file.h"
#include "engine/results_text.h"
#include "replace_file.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

using testing::EnginePath;
using testing::NativePath;
using testing::TempDir;
using Names = std::vector<std::string>;

// A handle of the test's own, closed when it goes away.
class Handle {
public:
    Handle(const std::string& path, DWORD share)
        : m_handle(CreateFileW(NativePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, share,
                               nullptr, OPEN_EXISTING, 0, nullptr)) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (IsOpen()) CloseHandle(m_handle);
    }
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

bool NothingElseHolds(const std::string& path) {
    return Handle(path, 0).IsOpen();
}

Verdict VerdictOf(const std::string& path, const PhraseMatcher& matcher) {
    const auto verdict = TestFileContent(path, matcher, [] { return true; });
    EXPECT_TRUE(verdict.HasValue()) << verdict.Error().description;
    return verdict.HasValue() ? verdict.Value() : Verdict::NotTested;
}

// R/visible/inner is walked; R/hidden and R/system, which carry those
// attributes, are not, nor anything below them. A name that begins with a
// dot says nothing on Windows.
class AttributesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"R/visible/inner", "R/hidden/below", "R/system/below"})
            m_dir.MakeFolder(folder);
        for (const char* file : {"R/plain.txt", "R/hidden.txt", "R/system.txt", "R/read-only.txt",
                                 "R/hidden/a.txt", "R/system/a.txt"}) {
            m_dir.WriteFile(file, "text");
        }
        m_dir.SetAttributes("R/hidden", FILE_ATTRIBUTE_HIDDEN);
        m_dir.SetAttributes("R/system", FILE_ATTRIBUTE_SYSTEM);
        m_dir.SetAttributes("R/hidden.txt", FILE_ATTRIBUTE_HIDDEN);
        m_dir.SetAttributes("R/system.txt", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
        m_dir.SetAttributes("R/read-only.txt", FILE_ATTRIBUTE_READONLY);
    }

    std::string Folder(std::string_view relative) const {
        return m_dir.PathOf(relative) + kPathSeparator;
    }

    TempDir m_dir;
};

TEST_F(AttributesTest, TheWalkEntersNoHiddenOrSystemFolder) {
    std::vector<std::string> folders = NewFolderList(m_dir.PathOf("R"));
    CollectSubfolders(folders, true, [] {});
    EXPECT_EQ(folders, (Names{Folder("R"), Folder("R/visible"), Folder("R/visible/inner")}));
}

TEST_F(AttributesTest, ListingsHoldHiddenAndSystemFilesButNoFolders) {
    const Names names = {"hidden.txt", "plain.txt", "read-only.txt", "system.txt"};
    EXPECT_EQ(ListFiles(m_dir.PathOf("R"), "*.*"), names);
    Names paths;
    for (const auto& name : names) paths.push_back(m_dir.PathOf("R/" + name));
    EXPECT_EQ(ListFilesInFolder(m_dir.PathOf("R")).Value(), paths);
}

TEST_F(AttributesTest, ASystemFileIsNeverTested) {
    const PhraseMatcher matcher("absent", CaseMode::Sensitive);
    const struct {
        const char* file;
        Verdict verdict;
    } cases[] = {{"R/plain.txt", Verdict::Lacks},
                 {"R/hidden.txt", Verdict::Lacks},
                 {"R/read-only.txt", Verdict::Lacks},
                 {"R/system.txt", Verdict::NotTested}};
    for (const auto& [file, verdict] : cases)
        EXPECT_EQ(VerdictOf(m_dir.PathOf(file), matcher), verdict) << file;
    EXPECT_EQ(QueryPathKind(m_dir.PathOf("R/system.txt")), PathKind::Other);
}

TEST_F(AttributesTest, AHiddenOrSystemFolderIsDroppedAsAnEntry) {
    EXPECT_TRUE(IsDroppedFolder(m_dir.PathOf("R/visible")));
    EXPECT_FALSE(IsDroppedFolder(m_dir.PathOf("R/hidden")));
    EXPECT_FALSE(IsDroppedFolder(m_dir.PathOf("R/system")));
    EXPECT_FALSE(IsDroppedFolder(m_dir.PathOf("R/system/")));
}

TEST(LinkTest, AReparsePointIsNeverEntered) {
    TempDir dir;
    dir.MakeFolder("R/target/inner");
    const std::string link = dir.PathOf("R/link");
    CreateSymbolicLinkW(
        NativePath(link).c_str(), NativePath(dir.PathOf("R/target")).c_str(),
        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (QueryEntryAttributes(link).type != EntryType::SymbolicLink)
        GTEST_SKIP() << "this system made no symbolic link (no privilege or no support)";
    std::vector<std::string> folders = NewFolderList(dir.PathOf("R"));
    CollectSubfolders(folders, true, [] {});
    const std::string r = dir.PathOf("R") + kPathSeparator;
    EXPECT_EQ(folders, (Names{r, r + "target\\", r + "target\\inner\\"}));
    EXPECT_TRUE(ListFiles(dir.PathOf("R"), "*.*").empty());
    EXPECT_FALSE(IsDroppedFolder(link));
    EXPECT_EQ(QueryPathKind(link), PathKind::Directory);
}

// The drive that holds the temporary folder, with a file of the test's own
// at its root; skipped where the root cannot be written.
class DriveRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (DriveRootLength(m_dir.Path()) == 0) GTEST_SKIP() << "the temporary folder has no drive";
        m_root = m_dir.Path().substr(0, 3);
        m_name = "tarnwick-" + m_dir.Path().substr(m_dir.Path().find_last_of('-') + 1) + ".txt";
        std::ofstream out(NativePath(m_root + m_name));
        if (!(out << "text")) GTEST_SKIP() << "cannot write at " << m_root;
    }
    void TearDown() override {
        if (!m_name.empty()) DeleteFileW(NativePath(m_root + m_name).c_str());
    }

    TempDir m_dir;
    std::string m_root;
    std::string m_name;
};

TEST_F(DriveRootTest, OpensTheRootWithItsSeparator) {
    EXPECT_EQ(DriveRootLength("C:\\x"), 3u);
    EXPECT_EQ(DriveRootLength("C:x"), 0u);
    EXPECT_EQ(DriveRootLength("\\\\server\\share"), 0u);
    EXPECT_EQ(OpenFolder(m_root).Value(), m_root);
    EXPECT_EQ(OpenFolder(m_root + "\\\\").Value(), m_root);
    EXPECT_EQ(WithoutTrailingSeparators(m_root), m_root);
}

TEST_F(DriveRootTest, TheFolderListDoublesTheSeparatorAndTheRepairHalvesIt) {
    const std::string doubled = m_root + "\\";
    std::vector<std::string> folders = NewFolderList(m_root);
    EXPECT_EQ(folders, Names{doubled});
    CollectSubfolders(folders, false, [] {});
    ASSERT_GT(folders.size(), 1u);
    for (const std::string& folder : folders) {
        EXPECT_TRUE(folder.starts_with(doubled)) << folder;
        EXPECT_EQ(QueryPathKind(folder), PathKind::Directory) << folder;
    }
    EXPECT_EQ(ListFiles(doubled, m_name), Names{m_name});
    EXPECT_EQ(RepairSeparators(doubled + m_name), m_root + m_name);
    const Names inRoot = ListFilesInFolder(m_root).Value();
    EXPECT_NE(std::find(inRoot.begin(), inRoot.end(), m_root + m_name), inRoot.end());
}

TEST_F(DriveRootTest, ADroppedRootIsAFolderThatHoldsAVisibleEntry) {
    EXPECT_TRUE(IsDroppedFolder(m_root));
    EXPECT_EQ(QueryPathKind(m_root + "\\" + m_name), PathKind::RegularFile);
}

TEST(WindowsPaths, CrossToUtf16AndBackLosslessly) {
    const std::u16string texts[] = {
        u"C:\\plain.txt",
        u"caf\u00E9 \u0416 \u20AC.txt",
        u"\U0001F600.txt",
        std::u16string(u"lone \xD800 high"),
        std::u16string(u"lone \xDC00 low"),
        std::u16string(u"reversed \xDC00\xD800"),
    };
    for (const std::u16string& text : texts) EXPECT_EQ(PathToText(PathFromText(text)), text);
    EXPECT_EQ(PathFromText(u"caf\u00E9"), "caf\xC3\xA9");
    EXPECT_EQ(PathFromText(std::u16string(u"\xD800")), "\xED\xA0\x80");
    EXPECT_EQ(PathFromText(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(WindowsPaths, NonAsciiNamesReachTheWideApi) {
    TempDir dir;
    const std::string name =
        "caf\xC3\xA9 \xD0\x96"
        ".txt";
    const std::string path = dir.WriteFile(name, "text");
    EXPECT_EQ(ListFiles(dir.Path(), "*.txt"), Names{name});
    EXPECT_EQ(QueryPathKind(path), PathKind::RegularFile);
    const PhraseMatcher matcher("absent", CaseMode::Sensitive);
    EXPECT_EQ(VerdictOf(path, matcher), Verdict::Lacks);
}

// Wine does not enforce the limit of 260 characters that the extended-length
// form lifts, so the forms handed to the system are checked besides the files.
TEST(WindowsPaths, TheSystemIsHandedTheExtendedLengthForm) {
    std::wstring deep;
    while (deep.size() < 300) deep += L"\\" + std::wstring(50, L'd');
    const struct {
        std::wstring given;
        std::wstring handed;
    } forms[] = {
        {L"C:\\a\\..\\b/c.txt", L"\\\\?\\C:\\b\\c.txt"},
        {L"C:" + deep + L"\\f.txt", L"\\\\?\\C:" + deep + L"\\f.txt"},
        {L"\\\\server\\share" + deep, L"\\\\?\\UNC\\server\\share" + deep},
        {L"\\\\?\\C:\\as\\..\\given", L"\\\\?\\C:\\as\\..\\given"},
        {L"CON", L"\\\\.\\CON"},
        {L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"},
    };
    for (const auto& [given, handed] : forms) EXPECT_EQ(SystemPath(given), handed);

    TempDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 300) folder = JoinPath(folder, std::string(50, 'd'));
    std::filesystem::create_directories(NativePath(folder));
    const std::string file = JoinPath(folder, "deep.txt");
    std::ofstream(NativePath(file)) << "text";
    std::vector<std::string> walked = NewFolderList(dir.Path());
    CollectSubfolders(walked, true, [] {});
    EXPECT_EQ(walked.back(), folder + "\\");
    EXPECT_EQ(ListFiles(walked.back(), "*.txt"), Names{"deep.txt"});
    EXPECT_EQ(ListFilesInFolder(folder).Value(), Names{file});
    EXPECT_EQ(VerdictOf(file, PhraseMatcher("absent", CaseMode::Sensitive)), Verdict::Lacks);
}

TEST(WindowsPaths, ANameThatIsNotUtf8IsRefusedWithoutThrowing) {
    TempDir dir;
    const std::string latin1 = dir.PathOf("caf\xE9.txt");
    EXPECT_EQ(QueryPathKind(latin1), PathKind::Missing);
    EXPECT_TRUE(IsNameRefused(latin1));
    EXPECT_TRUE(IsNameRefused(dir.PathOf("a<b")));
    EXPECT_TRUE(IsNameRefused(dir.PathOf(std::string(256, 'n'))));
    EXPECT_FALSE(IsNameRefused(dir.PathOf(std::string(255, 'n'))));
    EXPECT_FALSE(IsNameRefused(dir.PathOf("missing.txt")));
    EXPECT_EQ(QueryEntryAttributes(latin1).type, EntryType::Unreadable);
    const auto opened = ReadableFile::Open(latin1);
    ASSERT_FALSE(opened.HasValue());
    EXPECT_EQ(opened.Error().code, ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_FALSE(ListFilesInFolder(latin1).HasValue());
}

TEST(WindowsErrors, CarryTheSystemsCodeAndDescription) {
    TempDir dir;
    const auto missing = ReadableFile::Open(dir.PathOf("missing.txt"));
    ASSERT_FALSE(missing.HasValue());
    EXPECT_EQ(missing.Error().code, ERROR_FILE_NOT_FOUND);
    const std::string reason = DescribeSystemError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.Error().description,
              "Cannot open \"" + dir.PathOf("missing.txt") + "\": " + reason);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
    EXPECT_NE(DescribeSystemError(ERROR_ACCESS_DENIED), reason);
    EXPECT_EQ(DescribeSystemError(0x20001234), "Error 536875572");
}

TEST(WindowsErrors, AFileHeldByAnotherIsReportedAtOpen) {
    TempDir dir;
    const std::string held = dir.WriteFile("held.txt", "text");
    const Handle exclusive(held, 0);
    ASSERT_TRUE(exclusive.IsOpen());
    const auto opened = ReadableFile::Open(held);
    ASSERT_FALSE(opened.HasValue());
    EXPECT_EQ(opened.Error().code, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(opened.Error().description,
              "Cannot open \"" + held + "\": " + DescribeSystemError(ERROR_SHARING_VIOLATION));
}

TEST(WindowsErrors, ADeviceOrAPipeIsReportedAndNeverRead) {
    const std::wstring pipeName =
        L"\\\\.\\pipe\\tarnwick-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE pipe = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND,
                                         PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const PhraseMatcher matcher("absent", CaseMode::Sensitive);
    for (const std::string& path : {std::string("CON"), EnginePath(pipeName)}) {
        const auto verdict = TestFileContent(path, matcher, [] { return true; });
        ASSERT_FALSE(verdict.HasValue()) << path;
        EXPECT_EQ(verdict.Error().description,
                  "Cannot open \"" + path + "\": a device or a pipe, not a file on a disk");
    }
    // Nobody connected to the pipe: it still listens.
    EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_LISTENING);
    CloseHandle(pipe);
}

TEST(WindowsErrors, ALockedRangeIsReportedAtRead) {
    TempDir dir;
    const std::string locked = dir.WriteFile("locked.txt", "text");
    const Handle locker(locked, FILE_SHARE_READ | FILE_SHARE_WRITE);
    OVERLAPPED from{};
    ASSERT_TRUE(LockFileEx(locker.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 4, 0, &from));
    auto file = ReadableFile::Open(locked);
    ASSERT_TRUE(file.HasValue()) << file.Error().description;
    char bytes[4];
    const auto read = file.Value().Read(bytes, sizeof bytes);
    if (read.HasValue()) GTEST_SKIP() << "this system does not keep reads out of locked ranges";
    EXPECT_EQ(read.Error().code, ERROR_LOCK_VIOLATION);
    EXPECT_EQ(read.Error().description,
              "Cannot read \"" + locked + "\": " + DescribeSystemError(ERROR_LOCK_VIOLATION));
}

TEST(WindowsErrors, TheContentTestClosesTheFileOnEveryWayOut) {
    TempDir dir;
    const std::string big(3 * kBlockSize, 'x');
    const std::string paths[] = {dir.WriteFile("small", "abc"), dir.WriteFile("binary", "\x01"),
                                 dir.WriteFile("big", big), dir.WriteFile("found", "needle" + big)};
    const PhraseMatcher matcher("needle", CaseMode::Sensitive);
    for (const auto& path : paths) {
        static_cast<void>(TestFileContent(path, matcher, [] { return true; }));
        static_cast<void>(TestFileContent(path, matcher, [] { return false; }));
        EXPECT_TRUE(NothingElseHolds(path)) << path;
    }
}

std::string Contents(const std::string& path) {
    std::ifstream in(NativePath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Names NamesIn(const std::string& folder) {
    Names names;
    static_cast<void>(ForEachFolderEntry(
        folder, [&](const FolderEntry& entry) { names.emplace_back(entry.name); }));
    std::sort(names.begin(), names.end());
    return names;
}

using testing::Replace;

TEST(WindowsSave, TheOldFileStaysWholeUntilTheNewOneTakesItsPlace) {
    TempDir dir;
    const std::string path = dir.WriteFile("results.txt", "old");
    dir.SetAttributes("results.txt", FILE_ATTRIBUTE_HIDDEN);
    {
        Expected<FileReplacement> replacement = FileReplacement::Begin(path);
        ASSERT_TRUE(replacement.HasValue()) << replacement.Error().description;
        ASSERT_TRUE(replacement.Value().Write("abandoned").HasValue());
        EXPECT_EQ(Contents(path), "old");
    }
    EXPECT_EQ(NamesIn(dir.Path()), Names{"results.txt"});
    // A name of 250 characters leaves no room for a suffix to it.
    const std::string longName(250, 'n');
    dir.WriteFile(longName, "old");
    for (const std::string& path : {path, dir.PathOf("new.txt"), dir.PathOf(longName)}) {
        const Expected<void> replaced = Replace(path, "new\r\n");
        ASSERT_TRUE(replaced.HasValue()) << replaced.Error().description;
        EXPECT_EQ(Contents(path), "new\r\n");
    }
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"new.txt", longName, "results.txt"}));
    EXPECT_TRUE(QueryEntryAttributes(path).hidden);
}

TEST(WindowsSave, EveryFailureNamesTheFileAndTheSystemsReasonAndKeepsTheOldFile) {
    TempDir dir;
    const std::string readOnly = dir.WriteFile("read-only.txt", "old");
    dir.SetAttributes("read-only.txt", FILE_ATTRIBUTE_READONLY);
    const struct {
        std::string path;
        std::string description;
    } cases[] = {
        {dir.PathOf("missing/r.txt"), "Cannot create \"" + dir.PathOf("missing/r.txt") +
                                          "\": " + DescribeSystemError(ERROR_PATH_NOT_FOUND)},
        {dir.MakeFolder("folder"),
         "Cannot write \"" + dir.PathOf("folder") + "\": not a regular file"},
        {readOnly,
         "Cannot write \"" + readOnly + "\": " + DescribeSystemError(ERROR_ACCESS_DENIED)},
    };
    for (const auto& [path, description] : cases) {
        const Expected<void> outcome = Replace(path, "new");
        ASSERT_FALSE(outcome.HasValue()) << path;
        EXPECT_EQ(outcome.Error().description, description);
    }
    EXPECT_EQ(Contents(readOnly), "old");

    // Another program holds the old file without letting it be replaced.
    const std::string held = dir.WriteFile("held.txt", "old");
    Expected<FileReplacement> replacement = FileReplacement::Begin(held);
    ASSERT_TRUE(replacement.Value().Write("new").HasValue());
    const Handle holder(held, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(holder.IsOpen());
    const Expected<void> committed = replacement.Value().Commit();
    ASSERT_FALSE(committed.HasValue());
    EXPECT_EQ(committed.Error().description.rfind("Cannot replace \"" + held + "\": ", 0), 0u)
        << committed.Error().description;
    EXPECT_EQ(Contents(held), "old");
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"folder", "held.txt", "read-only.txt"}));
}

// The access list of path in the system's text form; empty when it cannot be
// read.
std::wstring AccessListOf(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(NativePath(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    wchar_t* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
    std::wstring accessList = text ? text : L"";
    LocalFree(text);
    LocalFree(descriptor);
    return accessList;
}

// Gives path an access list of its own, not inherited from its folder.
bool SetOwnAccessList(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;FA;;;WD)(A;;FR;;;BU)", SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL accessList = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &accessList, &defaulted);
    const DWORD set =
        SetNamedSecurityInfoW(NativePath(path).wstring().data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, accessList, nullptr);
    LocalFree(descriptor);
    return set == ERROR_SUCCESS;
}

// Wine keeps a file's access list as its Unix mode, which its ReplaceFileW
// does not carry over, nor streams or the creation time: there the test is
// skipped.
TEST(WindowsSave, SavingOverAFileKeepsItsAccessList) {
    TempDir dir;
    const std::string path = dir.WriteFile("results.txt", "old");
    const std::string probe = dir.WriteFile("probe.txt", "old");
    ASSERT_TRUE(SetOwnAccessList(path) && SetOwnAccessList(probe));
    const std::wstring accessList = AccessListOf(path);
    ASSERT_TRUE(ReplaceFileW(NativePath(probe).c_str(),
                             NativePath(dir.WriteFile("other.txt", "new")).c_str(), nullptr, 0,
                             nullptr, nullptr));
    if (AccessListOf(probe) != accessList)
        GTEST_SKIP() << "this system's ReplaceFileW keeps no access list";
    ASSERT_TRUE(Replace(path, "new").HasValue());
    EXPECT_EQ(AccessListOf(path), accessList);
}

// What a process left that ended between taking the deletion mark off its
// new file and the replacement; the test takes a process id that no process
// has. A backup may hold the only copy of an old file: it stays.
TEST(WindowsSave, ASaveRemovesTheNewFilesOfProcessesThatEndedAndNothingElse) {
    TempDir dir;
    const std::string running = std::to_string(GetCurrentProcessId());
    const Names kept = {".tarnwick-" + running + "-7", ".tarnwick-4294967292-7.old",
                        ".tarnwick-4294967292-x", "r.txt.tarnwick-4294967292-7"};
    for (const std::string& name : kept) dir.WriteFile(name, "left");
    dir.WriteFile(".tarnwick-4294967292-7", "left");
    ASSERT_TRUE(Replace(dir.PathOf("results.txt"), "new").HasValue());
    Names expected = kept;
    expected.push_back("results.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(NamesIn(dir.Path()), expected);
}

TEST(WindowsSave, ALinksTargetIsNamedWithoutTheLongPathPrefix) {
    EXPECT_EQ(ShownPath(L"\\\\?\\C:\\a\\b.txt"), "C:\\a\\b.txt");
    EXPECT_EQ(ShownPath(L"\\\\?\\UNC\\server\\share\\b.txt"), "\\\\server\\share\\b.txt");
    EXPECT_EQ(ShownPath(L"C:\\a\\caf\u00E9.txt"), "C:\\a\\caf\xC3\xA9.txt");
}

TEST(AnsiCodePage, FoldsItsLettersInFiles) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    TempDir dir;
    const struct {
        std::string content;
        std::string phrase;
        Verdict sensitive;
        Verdict insensitive;
    } cases[] = {
        {"Notes: une \xC9"
         "cole",
         "éCOLE", Verdict::Lacks, Verdict::Contains},
        {"Notes: une école", "ÉCOLE", Verdict::Lacks, Verdict::Contains},
        {"Notes: Ωμέγα", "ΩΜΈΓΑ", Verdict::Lacks, Verdict::Contains},
        {"Notes: ?????", "Ωμέγα", Verdict::Lacks, Verdict::Lacks},  // no '?' for missing letters
    };
    for (const auto& [content, phrase, sensitive, insensitive] : cases) {
        const std::string path = dir.WriteFile("notes.txt", content);
        EXPECT_EQ(VerdictOf(path, PhraseMatcher(phrase, CaseMode::Sensitive)), sensitive) << phrase;
        EXPECT_EQ(VerdictOf(path, PhraseMatcher(phrase, CaseMode::Insensitive)), insensitive)
            << phrase;
    }
    EXPECT_EQ(TextEncoding::System().Spellings(U'Ÿ', CaseMode::Insensitive),
              (Names{"\x9F", "\xFF"}));
    EXPECT_EQ(DecodeListFile("/\xC9"
                             "cole.txt"),
              "/École.txt");
    EXPECT_EQ(RenderResultsFile(Names{"/École.txt"}),
              "/\xC9"
              "cole.txt\r\n");
    EXPECT_EQ(RenderResultsFile(Names{"/École.txt", "/Ωμέγα.txt"}),
              "\xEF\xBB\xBF/École.txt\r\n/Ωμέγα.txt\r\n");
}

}  // namespace
}  // namespace tarnwick

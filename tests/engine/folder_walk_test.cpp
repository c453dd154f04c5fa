#include "engine/folder_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "unprivileged.h"
#endif

namespace tarnwick {
namespace {

using testing::TempDir;

#ifndef _WIN32
void MakeLink(const std::string& target, const std::string& link) {
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}
#endif

// What only POSIX makes: a FIFO, a link to a file and a name that is not
// UTF-8; taken out of what is expected elsewhere.
std::vector<std::string> OnThisSystem(std::vector<std::string> names) {
#ifdef _WIN32
    std::erase_if(names, [](const std::string& name) {
        return name == "pipe" || name == "filelink.txt" ||
               name.find("bad\xff") != std::string::npos;
    });
#endif
    return names;
}

// R/A/C, R/b/D, R/~old and, on POSIX, R/bad\xff (a name that is not UTF-8)
// are walked. Not walked: hidden folders, a file, a link back to R on POSIX,
// a system and a hidden folder by attribute on Windows.
class FolderWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"R/A/C", "R/A/.hid/deep", "R/b/D", "R/~old", "R/.hidden/inner"})
            m_dir.MakeFolder(folder);
        m_dir.Hide("R/A/.hid");
        m_dir.Hide("R/.hidden");
        m_dir.WriteFile("R/file.txt", "x");
#ifdef _WIN32
        m_dir.MakeFolder("R/system/inner");
        m_dir.SetAttributes("R/system", FILE_ATTRIBUTE_SYSTEM);
        m_dir.MakeFolder("R/hidden/inner");
        m_dir.SetAttributes("R/hidden", FILE_ATTRIBUTE_HIDDEN);
#else
        m_dir.MakeFolder("R/bad\xff");
        MakeLink(m_dir.PathOf("R"), m_dir.PathOf("R/loop"));
#endif
    }

    std::string Folder(std::string_view relative) const {
        return m_dir.PathOf(relative) + kPathSeparator;
    }

    // folder, and depth levels below it of the subfolders A, b, C and d (in
    // the order of bytes C comes before b), each folder with y.txt, X.txt and
    // ~t.txt.
    void MakeTree(const std::string& folder, int depth) const {
        m_dir.MakeFolder(folder);
        for (const char* file : {"/y.txt", "/X.txt", "/~t.txt"})
            m_dir.WriteFile(folder + file, "x");
        if (depth == 0) return;
        for (const char* name : {"/A", "/b", "/C", "/d"}) MakeTree(folder + name, depth - 1);
    }

    // Each folder's files, as listing one folder after the other gives them.
    std::vector<std::vector<std::string>> FilesOneFolderAfterTheOther() const {
        std::vector<std::vector<std::string>> files;
        for (const std::string& folder : Walk(true)) {
            std::vector<std::string> paths;
            for (const std::string& name : ListFiles(folder, "*.txt"))
                if (!name.starts_with('~')) paths.push_back(folder + name);
            if (!paths.empty()) files.push_back(paths);
        }
        return files;
    }

    std::vector<std::vector<std::string>> FilesWalked(const ListingPace& pace) const {
        std::vector<std::vector<std::string>> files;
        WalkFolderTree(
            m_dir.PathOf("R"), "*.txt", TreeJoining::AsIs,
            [&](std::vector<std::string>&& paths) { files.push_back(paths); }, pace);
        return files;
    }

    std::vector<std::string> Walk(bool recurse, int* yields = nullptr) const {
        std::vector<std::string> folders{Folder("R")};
        int count = 0;
        CollectSubfolders(folders, recurse, [&] { ++count; });
        if (yields) *yields = count;
        return folders;
    }

    TempDir m_dir;
};

TEST_F(FolderWalkTest, WalksLevelByLevelInNameOrder) {
    int yields = 0;
    const std::vector<std::string> walked = Walk(true, &yields);
    EXPECT_EQ(walked, OnThisSystem({Folder("R"), Folder("R/A"), Folder("R/b"), Folder("R/bad\xff"),
                                    Folder("R/~old"), Folder("R/A/C"), Folder("R/b/D")}));
    // One enumeration started per folder walked, 10 entries examined on either
    // system, and every folder but the first appended.
    EXPECT_EQ(yields, static_cast<int>(walked.size()) + 10 + static_cast<int>(walked.size()) - 1);
}

// Listed on several threads, the walk hands over what listing one folder
// after the other gives: the folders in CollectSubfolders' order, each with
// its files by ListFiles but those starting with "~". R/A, first of its
// level, holds the most files, so that an order of finishing would show.
TEST_F(FolderWalkTest, OnSeveralThreadsHandsOverWhatOneFolderAfterTheOtherGives) {
    MakeTree("R/W", 3);
    for (int i = 0; i < 300; ++i) m_dir.WriteFile("R/A/f" + std::to_string(i) + ".txt", "x");
    const auto expected = FilesOneFolderAfterTheOther();
    ASSERT_GT(expected.size(), 85u);
    for (const ListingPace& pace : {ListingPace{1}, ListingPace{8}, ListingPace{8, 0}})
        EXPECT_EQ(FilesWalked(pace), expected) << pace.listers << " listers, " << pace.aheadBytes;
#ifndef _WIN32
    // R/W/b, which cannot be listed, gives neither files nor its 20 subfolders.
    ASSERT_EQ(chmod(m_dir.PathOf("R/W/b").c_str(), 0), 0);
    EXPECT_EQ(testing::AsUnprivilegedUser([&] {
                  const auto oneByOne = FilesOneFolderAfterTheOther();
                  return FilesWalked({8}) == oneByOne ? static_cast<int>(oneByOne.size()) : 0;
              }),
              static_cast<int>(expected.size()) - 21);
    chmod(m_dir.PathOf("R/W/b").c_str(), 0700);
#endif
}

TEST_F(FolderWalkTest, WithoutRecursionAppendsOnlyTheFirstLevel) {
    EXPECT_EQ(Walk(false), OnThisSystem({Folder("R"), Folder("R/A"), Folder("R/b"),
                                         Folder("R/bad\xff"), Folder("R/~old")}));
}

#ifndef _WIN32
TEST_F(FolderWalkTest, SkipsAFolderThatCannotBeListed) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    m_dir.MakeFolder("R/b/D/E");
    ASSERT_EQ(chmod(m_dir.PathOf("R/b").c_str(), 0), 0);
    const auto folders = Walk(true);
    chmod(m_dir.PathOf("R/b").c_str(), 0700);
    EXPECT_EQ(folders,
              (std::vector<std::string>{Folder("R"), Folder("R/A"), Folder("R/b"),
                                        Folder("R/bad\xff"), Folder("R/~old"), Folder("R/A/C")}));
}
#endif

TEST_F(FolderWalkTest, StartsTheFolderListWithOneSeparator) {
    EXPECT_EQ(NewFolderList(m_dir.PathOf("R")), std::vector<std::string>{Folder("R")});
    EXPECT_EQ(NewFolderList(Folder("R")), std::vector<std::string>{Folder("R")});
    EXPECT_EQ(NewFolderList(std::string(1, kPathSeparator)),
              std::vector<std::string>{std::string(1, kPathSeparator)});
}

TEST(ListFiles, ListsMatchingNonFoldersInNameOrder) {
    TempDir dir;
    for (const char* name : {"b.txt", "a.TXT", "c.log", "noext", "x..txt", ".hidden.txt",
                             "\xc3\x84"
                             "b.txt",
                             "\xc3\xa4"
                             "a.txt"}) {
        dir.WriteFile(name, "x");
    }
    dir.Hide(".hidden.txt");
    dir.MakeFolder("sub.txt");
#ifndef _WIN32
    dir.WriteFile("bad\xff.txt", "x");
    dir.MakeFifo("pipe");
    MakeLink(dir.PathOf("sub.txt"), dir.PathOf("dirlink.txt"));
    MakeLink(dir.PathOf("b.txt"), dir.PathOf("filelink.txt"));
    MakeLink(dir.PathOf("gone"), dir.PathOf("dangling.txt"));
#endif

    const struct {
        std::string pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"*.*",
         {".hidden.txt", "a.TXT", "b.txt", "bad\xff.txt", "c.log", "filelink.txt", "noext", "pipe",
          "x..txt",
          "\xc3\xa4"
          "a.txt",
          "\xc3\x84"
          "b.txt"}},
        {"*.txt",
         {".hidden.txt", "a.TXT", "b.txt", "bad\xff.txt", "filelink.txt", "x..txt",
          "\xc3\xa4"
          "a.txt",
          "\xc3\x84"
          "b.txt"}},
        {"*..txt", {"x..txt"}},
        {"p*", {"pipe"}},
    };
    for (const auto& [pattern, names] : cases) {
        EXPECT_EQ(ListFiles(dir.Path(), pattern), OnThisSystem(names)) << pattern;
        EXPECT_EQ(ListFiles(dir.Path() + kPathSeparator, pattern), OnThisSystem(names)) << pattern;
    }
    EXPECT_TRUE(ListFiles(dir.PathOf("missing"), "*.*").empty());
}

TEST(MatchesWildcard, FollowsTheUsualFileNameRules) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"a.txt", "*.txt", true},
        {"A.TXT", "*.txt", true},
        {"a.txt.bak", "*.txt", false},
        {"readme", "*.*", true},
        {"report", "report.*", true},
        {"report", "rep*.*", true},
        {"x..txt", "*..txt", true},
        {"x.txt", "*..txt", false},
        {"ab", "a?", true},
        {"a", "a?", false},
        {"\xc3\xa9.txt", "?.txt", true},
        {"\xc3\x89T\xc3\x89.LOG", "\xc3\xa9t\xc3\xa9.log", true},
        {"\xd0\x96.txt", "\xd0\xb6.*", true},
        {"\xC8\x98TIIN\xC8\x9A\xC4\x82.TXT", "\xC8\x99tiin\xC8\x9B\xC4\x83.*", true},
        {"\xE1\xB2\xA4.txt", "\xE1\x83\xA4*", true},
        {"\xF0\x90\x90\x80.txt", "\xF0\x90\x90\xA8.TXT", true},
        {"\xE2\x84\xAA.txt", "k.txt", false},
        {"abcabd", "*abd", true},
        {"", "*", true},
        {"\xff", "**.*", true},
        {"a", ".*", false},
        {"a", "", false},
    };
    for (const auto& [name, pattern, matches] : cases)
        EXPECT_EQ(MatchesWildcard(name, pattern), matches) << name << " ~ " << pattern;
}

TEST(IsDroppedFolder, AcceptsOnlyVisibleRealFolders) {
    TempDir dir;
    dir.MakeFolder("full");
    dir.WriteFile("full/a.txt", "x");
    dir.MakeFolder("empty");
    dir.MakeFolder("only-hidden");
    dir.WriteFile("only-hidden/.h", "x");
    dir.Hide("only-hidden/.h");
    dir.MakeFolder(".hidden");
    dir.WriteFile(".hidden/a.txt", "x");
    dir.Hide(".hidden");
    const std::string file = dir.WriteFile("file.txt", "x");
#ifndef _WIN32
    dir.MakeFifo("pipe");
    MakeLink(dir.PathOf("full"), dir.PathOf("link"));
#endif

    const struct {
        std::string path;
        bool folder;
    } cases[] = {
        {dir.PathOf("full"), true},
        {dir.PathOf("full/"), true},
        {dir.PathOf("empty"), true},
        {dir.PathOf("empty/"), false},
        {dir.PathOf("only-hidden/"), false},
        {dir.PathOf(".hidden"), false},
        {dir.PathOf(".hidden/"), false},
#ifndef _WIN32
        {dir.PathOf("link"), false},
        {dir.PathOf("link/"), false},
        {dir.PathOf("pipe"), false},
#endif
        {file, false},
        {dir.PathOf("missing"), false},
        {"", false},
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(IsDroppedFolder(path), folder) << path;
}

}  // namespace
}  // namespace tarnwick

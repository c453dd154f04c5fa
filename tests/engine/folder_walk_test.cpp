#include "engine/folder_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "temp_dir.h"

namespace tarnwick {
namespace {

using testing::TempDir;

void MakeLink(const std::string& target, const std::string& link) {
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}

// R/A/C, R/b/D, R/~old and R/bad\xff (a name that is not UTF-8) are walked;
// hidden folders, a link back to R and a file are not.
class FolderWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder :
             {"R/A/C", "R/A/.hid/deep", "R/b/D", "R/~old", "R/.hidden/inner", "R/bad\xff"}) {
            m_dir.MakeFolder(folder);
        }
        m_dir.WriteFile("R/file.txt", "x");
        MakeLink(m_dir.PathOf("R"), m_dir.PathOf("R/loop"));
    }

    std::string Folder(std::string_view relative) const { return m_dir.PathOf(relative) + "/"; }

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
    EXPECT_EQ(
        Walk(true, &yields),
        (std::vector<std::string>{Folder("R"), Folder("R/A"), Folder("R/b"), Folder("R/bad\xff"),
                                  Folder("R/~old"), Folder("R/A/C"), Folder("R/b/D")}));
    // 7 enumerations started, 10 entries examined, 6 folders appended.
    EXPECT_EQ(yields, 23);
}

TEST_F(FolderWalkTest, WithoutRecursionAppendsOnlyTheFirstLevel) {
    EXPECT_EQ(Walk(false), (std::vector<std::string>{Folder("R"), Folder("R/A"), Folder("R/b"),
                                                     Folder("R/bad\xff"), Folder("R/~old")}));
}

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

TEST(ListFiles, ListsMatchingNonFoldersInNameOrder) {
    TempDir dir;
    for (const char* name : {"b.txt", "a.TXT", "c.log", "noext", "x..txt", ".hidden.txt",
                             "\xc3\x84"
                             "b.txt",
                             "\xc3\xa4"
                             "a.txt",
                             "bad\xff.txt"}) {
        dir.WriteFile(name, "x");
    }
    dir.MakeFifo("pipe");
    dir.MakeFolder("sub.txt");
    MakeLink(dir.PathOf("sub.txt"), dir.PathOf("dirlink.txt"));
    MakeLink(dir.PathOf("b.txt"), dir.PathOf("filelink.txt"));
    MakeLink(dir.PathOf("gone"), dir.PathOf("dangling.txt"));

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
        EXPECT_EQ(ListFiles(dir.Path(), pattern), names) << pattern;
        EXPECT_EQ(ListFiles(dir.Path() + "/", pattern), names) << pattern;
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
        {"abcabd", "*abd", true},
        {"", "*", true},
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
    dir.MakeFolder(".hidden");
    dir.WriteFile(".hidden/a.txt", "x");
    const std::string file = dir.WriteFile("file.txt", "x");
    dir.MakeFifo("pipe");
    MakeLink(dir.PathOf("full"), dir.PathOf("link"));

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
        {dir.PathOf("link"), false},
        {dir.PathOf("link/"), false},
        {file, false},
        {dir.PathOf("pipe"), false},
        {dir.PathOf("missing"), false},
        {"", false},
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(IsDroppedFolder(path), folder) << path;
}

}  // namespace
}  // namespace tarnwick

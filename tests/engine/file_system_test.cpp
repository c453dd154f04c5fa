#include "engine/file_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using testing::TempDir;
using testing::WithSeparators;

#ifdef _WIN32
constexpr int kMissing = ERROR_FILE_NOT_FOUND;
constexpr int kMissingFolder = ERROR_PATH_NOT_FOUND;
constexpr int kNotAFolder = ERROR_DIRECTORY;
#else
constexpr int kMissing = ENOENT;
constexpr int kMissingFolder = ENOENT;
constexpr int kNotAFolder = ENOTDIR;
#endif

TEST(FileSystem, TellsWhatIsAtAPath) {
    TempDir dir;
    const std::string file = dir.WriteFile("a.txt", "x");
    const std::string folder = dir.MakeFolder("sub");
    EXPECT_EQ(QueryPathKind(file), PathKind::RegularFile);
    EXPECT_EQ(QueryPathKind(folder), PathKind::Directory);
    EXPECT_EQ(QueryPathKind(dir.PathOf("missing")), PathKind::Missing);
    EXPECT_EQ(QueryPathKind(""), PathKind::Missing);
}

TEST(FileSystem, OpensFoldersAndSaysWhyNot) {
    TempDir dir;
    const std::string file = dir.WriteFile("a.txt", "x");
    EXPECT_EQ(OpenFolder(dir.Path() + WithSeparators("//")).Value(), dir.Path());
    const struct {
        std::string path;
        int code;
    } failures[] = {{dir.PathOf("missing"), kMissing}, {file, kNotAFolder}, {"", kMissingFolder}};
    for (const auto& [path, code] : failures) {
        const auto folder = OpenFolder(path);
        ASSERT_FALSE(folder.HasValue()) << path;
        EXPECT_EQ(folder.Error().code, code) << path;
        EXPECT_EQ(folder.Error().description,
                  "Cannot open folder \"" + path + "\": " + DescribeSystemError(code));
    }
}

#ifndef _WIN32
TEST(FileSystem, TellsFifosAndLinksApart) {
    TempDir dir;
    const std::string folder = dir.MakeFolder("sub");
    const std::string fifo = dir.MakeFifo("pipe");
    const std::string linkToFolder = dir.PathOf("link");
    ASSERT_EQ(symlink(folder.c_str(), linkToFolder.c_str()), 0);
    EXPECT_EQ(QueryPathKind(linkToFolder), PathKind::Directory);
    EXPECT_EQ(QueryPathKind(fifo), PathKind::Other);
}

TEST(FileSystem, OpensTheRootAndDescribesErrorsAsTheSystemDoes) {
    EXPECT_EQ(OpenFolder("/").Value(), "/");
    EXPECT_EQ(OpenFolder("//").Value(), "/");
    EXPECT_EQ(DescribeSystemError(ENOENT), "No such file or directory");
    EXPECT_EQ(DescribeSystemError(ENOTDIR), "Not a directory");
}

TEST(FileSystem, ListsFilesDirectlyInsideInCaseInsensitiveOrder) {
    TempDir dir;
    for (const char* name : {"b.txt", "A.txt", "a.txt", "C", "_x", ".hidden"})
        dir.WriteFile(name, "x");
    dir.MakeFolder("B-folder");
    dir.WriteFile("B-folder/inner.txt", "x");
    dir.MakeFifo("pipe");
    ASSERT_EQ(symlink(dir.PathOf("B-folder").c_str(), dir.PathOf("folder-link").c_str()), 0);
    ASSERT_EQ(symlink(dir.PathOf("b.txt").c_str(), dir.PathOf("file-link").c_str()), 0);
    ASSERT_EQ(symlink(dir.PathOf("gone").c_str(), dir.PathOf("dangling").c_str()), 0);

    const auto listed = ListFilesInFolder(dir.Path());
    ASSERT_TRUE(listed.HasValue());
    std::vector<std::string> expected;
    for (const char* name :
         {".hidden", "A.txt", "a.txt", "b.txt", "C", "dangling", "file-link", "pipe", "_x"}) {
        expected.push_back(dir.PathOf(name));
    }
    EXPECT_EQ(listed.Value(), expected);
}
#endif

// Letters of every script fold as in a search that ignores case; ASCII folds
// to upper case, so "_" comes after the letters; a letter whose fold has
// another UTF-8 length (the kelvin sign) is not a "k".
TEST(FileSystem, NameOrderIgnoresCaseInEveryScript) {
    const std::vector<std::string> ordered = {"k",
                                              "Z",
                                              "z_",
                                              "_",
                                              "\xC8\x99x",
                                              "\xC8\x98y",
                                              "\xE1\xB2\x90x",
                                              "\xE1\x83\x90y",
                                              "\xE2\x84\xAA",
                                              "\xF0\x90\x90\xA8x",
                                              "\xF0\x90\x90\x80y"};
    std::vector<std::string> names(ordered.rbegin(), ordered.rend());
    SortByName(names);
    EXPECT_EQ(names, ordered);
}

TEST(FileSystem, ListingAFolderThatCannotBeOpenedIsAnError) {
    TempDir dir;
    const auto listed = ListFilesInFolder(dir.PathOf("missing"));
    ASSERT_FALSE(listed.HasValue());
    EXPECT_EQ(listed.Error().code, kMissingFolder);
    EXPECT_EQ(listed.Error().description, "Cannot open folder \"" + dir.PathOf("missing") +
                                              "\": " + DescribeSystemError(listed.Error().code));
}

TEST(FileSystem, JoinsWithoutDoublingTheSeparator) {
    EXPECT_EQ(JoinPath(WithSeparators("/a"), "b"), WithSeparators("/a/b"));
    EXPECT_EQ(JoinPath(WithSeparators("/a/"), "b"), WithSeparators("/a/b"));
    EXPECT_EQ(JoinPath(WithSeparators("/"), "b"), WithSeparators("/b"));
}

}  // namespace
}  // namespace tarnwick

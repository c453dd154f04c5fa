#include "engine/path_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"

namespace tarnwick {
namespace {

using Paths = std::vector<std::string>;
using namespace std::string_literals;
using testing::WithSeparators;

Paths WithSeparators(Paths paths) {
    for (auto& path : paths) path = WithSeparators(path);
    return paths;
}

TEST(RepairSeparators, HalvesPairsButKeepsALeadingPair) {
    const struct {
        const char* path;
        const char* repaired;
    } cases[] = {
        {"/a//b", "/a/b"},         {"//srv/x//y", "//srv/x/y"},
        {"/a///b", "/a//b"},       {"/a////b", "/a//b"},
        {"/a/b/", "/a/b/"},        {"a//", "a/"},
        {"C://a.txt", "C:/a.txt"}, {"", ""},
    };
    for (const auto& [path, repaired] : cases) {
        EXPECT_EQ(RepairSeparators(WithSeparators(path)), WithSeparators(repaired)) << path;
    }
}

TEST(SplitSelection, JoinsTheFolderToEachName) {
    const struct {
        std::string selection;
        Paths paths;
    } cases[] = {
        {"", {}},
        {"/data//a.txt", {"/data//a.txt"}},
        {"/data\0a.txt\0b.txt\0c.txt"s, {"/data/a.txt", "/data/b.txt", "/data/c.txt"}},
        {"/\0a.txt\0b.txt"s, {"/a.txt", "/b.txt"}},
        {"C:/\0a.txt"s, {"C:/a.txt"}},
        {"//srv/share\0a.txt\0b//c"s, {"//srv/share/a.txt", "//srv/share/b/c"}},
        {"\0/a/x.txt\0/b//y.txt"s, {"/a/x.txt", "/b//y.txt"}},
    };
    for (const auto& [selection, paths] : cases)
        EXPECT_EQ(SplitSelection(WithSeparators(selection)), WithSeparators(paths));
}

Paths ListFileLines(std::string_view content) {
    Paths entries;
    ForEachListFileLine(content, [&](std::string_view line) { entries.emplace_back(line); });
    return entries;
}

TEST(ForEachListFileLine, EndsLinesAtCrCrLfAndLf) {
    const struct {
        std::string content;
        Paths entries;
    } cases[] = {
        {"", {}},
        {"/t/1.txt\r\n/t/2.txt\r\n", {"/t/1.txt", "/t/2.txt"}},
        {"/t/1.txt\n/t/2.txt\n", {"/t/1.txt", "/t/2.txt", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\r\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\r\n", {"a", ""}},
        {"\r\r\n", {"", ""}},
        {"  x \r\n", {"  x "}},
    };
    for (const auto& [content, entries] : cases)
        EXPECT_EQ(ListFileLines(content), entries) << ::testing::PrintToString(content);
}

TEST(DecodeListFile, ReadsByTheByteOrderMarkThenAsUtf8ThenInTheCodePage) {
    const TextEncoding utf8 = TextEncoding::Utf8();
    std::vector<CodePageCharacter> latinCharacters = {{"\xE9", U'é'}};
    for (char32_t c = 0; c < 0x80; ++c) latinCharacters.push_back({std::string(1, char(c)), c});
    const TextEncoding latin = TextEncoding::CodePage(latinCharacters);
    const struct {
        std::string content;
        const TextEncoding& encoding;
        Paths entries;
    } cases[] = {
        {"\xEF\xBB\xBF/é\r\n/b", latin, {"/é", "/b"}},
        {"\xFF\xFE/\0\xA9\x03\r\0\n\0b\0"s, utf8, {"/Ω", "b"}},
        {"\xFE\xFF\0/\x03\xA9\0\r\0\n\0b"s, latin, {"/Ω", "b"}},
        {"\xFF\xFE\x3D\xD8\x00\xDE\n\0"s, utf8, {"😀", ""}},
        {"\xFF\xFEx"s, utf8, {"\uFFFD"}},
        {"/é.t\r\n/中", latin, {"/é.t", "/中"}},
        {"/\xE9.t\r\n", latin, {"/é.t"}},
        {"/\xE9.t\r\n", utf8, {"/\xE9.t"}},
    };
    for (const auto& [content, encoding, entries] : cases) {
        EXPECT_EQ(ListFileLines(DecodeListFile(content, encoding)), entries)
            << ::testing::PrintToString(content);
    }
}

}  // namespace
}  // namespace tarnwick

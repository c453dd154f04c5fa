#include "engine/results_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

using Entries = std::vector<std::string>;

TEST(RenderResultsFile, EndsEveryLineWithCrLf) {
    EXPECT_EQ(RenderResultsFile(Entries{"C:\\a.txt", "", "/b c.txt"}),
              "C:\\a.txt\r\n\r\n/b c.txt\r\n");
    EXPECT_EQ(RenderResultsFile(Entries{}), "");
}

TEST(RenderResultsFile, IsInTheCodePageWhenEveryEntryFitsElseUtf8WithAMark) {
    const TextEncoding utf8 = TextEncoding::Utf8();
    const TextEncoding latin = TextEncoding::CodePage(
        std::vector<CodePageCharacter>{{"/", U'/'}, {"a", U'a'}, {"\xE9", U'é'}});
    const struct {
        Entries entries;
        const TextEncoding& encoding;
        std::string file;
    } cases[] = {
        {{"/a", "/é"}, latin, "/a\r\n/\xE9\r\n"},
        {{"/é", "/Ω", "/a"}, latin, "\xEF\xBB\xBF/é\r\n/Ω\r\n/a\r\n"},
        {{"/a", "/\xED\xB0\x80"}, latin, "\xEF\xBB\xBF/a\r\n/\xED\xB0\x80\r\n"},
        {{"/é", "/Ω", "/\xE9"}, utf8, "/é\r\n/Ω\r\n/\xE9\r\n"},
        {{}, latin, ""},
    };
    for (const auto& [entries, encoding, file] : cases)
        EXPECT_EQ(RenderResultsFile(entries, encoding), file) << ::testing::PrintToString(entries);

    // Rendered in parts, an entry of the last part decides for the first too.
    ResultsFileText inParts(latin);
    const Entries first = {"/a"}, last = {"/Ω"};
    inParts.Admit(first);
    inParts.Admit(last);
    EXPECT_EQ(std::string(inParts.Start()) + inParts.Render(first) + inParts.Render(last),
              "\xEF\xBB\xBF/a\r\n/Ω\r\n");
}

std::string ClipboardText(const Entries& entries) {
    return RenderClipboardLines(entries, ClipboardColumnWidth(entries));
}

TEST(ClipboardText, PadsToTheLongestEntryInCharacters) {
    EXPECT_EQ(ClipboardText({"C:\\a.txt", "C:\\bb\\c.txt"}),
              "C:\\a.txt   \t\r\nC:\\bb\\c.txt\t\r\n");
    // "/ä/ö.txt" is 8 characters in 10 bytes.
    EXPECT_EQ(ClipboardText({"/\xc3\xa4/\xc3\xb6.txt", "/abcdefghi"}),
              "/\xc3\xa4/\xc3\xb6.txt  \t\r\n/abcdefghi\t\r\n");
    EXPECT_EQ(ClipboardText({}), "");
}

TEST(ClipboardText, InPartsGivesTheSameTextWhenTheWidthIsTakenOverAll) {
    const Entries entries = {"/short", "/a/much/longer/path.txt", "/mid/dle.txt"};
    const std::span<const std::string> all(entries);
    const std::size_t width = ClipboardColumnWidth(all);
    EXPECT_EQ(RenderClipboardLines(all.first(1), width) + RenderClipboardLines(all.last(2), width),
              ClipboardText(entries));
}

}  // namespace
}  // namespace tarnwick

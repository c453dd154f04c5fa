#include "engine/results_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

TEST(RenderResultsFile, EndsEveryLineWithCrLf) {
    EXPECT_EQ(RenderResultsFile({"C:\\a.txt", "", "/b c.txt"}), "C:\\a.txt\r\n\r\n/b c.txt\r\n");
    EXPECT_EQ(RenderResultsFile({}), "");
}

TEST(RenderClipboardText, PadsToTheLongestEntryInCharacters) {
    EXPECT_EQ(RenderClipboardText({"C:\\a.txt", "C:\\bb\\c.txt"}),
              "C:\\a.txt   \t\r\nC:\\bb\\c.txt\t\r\n");
    // "/ä/ö.txt" is 8 characters in 10 bytes.
    EXPECT_EQ(RenderClipboardText({"/\xc3\xa4/\xc3\xb6.txt", "/abcdefghi"}),
              "/\xc3\xa4/\xc3\xb6.txt  \t\r\n/abcdefghi\t\r\n");
    EXPECT_EQ(RenderClipboardText({}), "");
}

}  // namespace
}  // namespace tarnwick

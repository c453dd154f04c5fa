#include "engine/lossless_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(LosslessText, DecodesUtf8AndCarriesEveryOtherByteAsALoneSurrogate) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"", u""},
        {"/a b/c.txt", u"/a b/c.txt"},
        {"caf\xc3\xa9", u"caf\u00e9"},
        {"\xf0\x9f\x98\x80", u"\U0001F600"},
        {"caf\xe9.txt", u"caf\xdce9.txt"},
        {"\x80\xff", u"\xdc80\xdcff"},
        {"\xe2\x82", u"\xdce2\xdc82"},                      // cut short
        {"\xc0\xaf", u"\xdcc0\xdcaf"},                      // overlong
        {"\xed\xa0\x80", u"\xdced\xdca0\xdc80"},            // a surrogate's own code
        {"\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"},  // beyond U+10FFFF
        {"\xe9\xc3\xa9\xe9", u"\xdce9\u00e9\xdce9"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(DecodeLossless(bytes), text) << ::testing::PrintToString(bytes);
        EXPECT_EQ(EncodeLossless(text), bytes) << ::testing::PrintToString(bytes);
    }
}

TEST(LosslessText, SurrogatesThatNoByteGaveBecomeTheReplacementCharacter) {
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"\xd800", "\xef\xbf\xbd"},
        {u"a\xdc7f"
         u"b",
         "a\xef\xbf\xbd"
         "b"},
        {u"\xdbff\xd800", "\xef\xbf\xbd\xef\xbf\xbd"},
        {u"\xdfff", "\xef\xbf\xbd"},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(EncodeLossless(text), bytes);
}

TEST(LosslessText, EveryShortByteStringSurvivesTheRoundTrip) {
    std::string bytes;
    for (int first = 0; first < 256; ++first) {
        for (int second = -1; second < 256; ++second) {
            bytes.assign(1, static_cast<char>(first));
            if (second >= 0) bytes.push_back(static_cast<char>(second));
            ASSERT_EQ(EncodeLossless(DecodeLossless(bytes)), bytes)
                << ::testing::PrintToString(bytes);
        }
    }
}

}  // namespace
}  // namespace tarnwick

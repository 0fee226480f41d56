// Shortening texts to a width with a measuring function.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core.h"

namespace {

// 6 pixels a single-byte character, 12 a double-byte one. Records a
// measurement that ends inside a double-byte character or that does not
// cover the whole string.
struct Ruler {
    int calls = 0;
    bool splitSeen = false;
    bool partialSeen = false;

    static int32_t Measure(void *context, const char *text, int32_t length)
    {
        auto *self = static_cast<Ruler *>(context);
        ++self->calls;
        if (static_cast<size_t>(length) != std::strlen(text)) self->partialSeen = true;
        int32_t width = 0;
        for (int32_t i = 0; i < length;) {
            if (IsLeadByte932(static_cast<unsigned char>(text[i]))) {
                if (i + 1 >= length) self->splitSeen = true;
                width += 12;
                i += 2;
            } else {
                width += 6;
                i += 1;
            }
        }
        return width;
    }
};

std::string Fit(const char *text, int32_t width, Ruler *ruler)
{
    return FitTextToWidth(text, width, Ruler::Measure, ruler);
}

// Shift-JIS bytes: 日本語入力 (ten bytes), and ぁ (82 9F), whose trail byte
// lies in the lead-byte range.
const char kJapanese[] = "\x93\xfa\x96\x7b\x8c\xea\x93\xfc\x97\xcd";
const char kSmallA[] = "\x82\x9f";

TEST(FitText, TextThatFitsComesBackItself)
{
    Ruler ruler;
    const char *title = "Notepad";
    EXPECT_EQ(FitTextToWidth(title, 42, Ruler::Measure, &ruler), title);
    EXPECT_EQ(FitTextToWidth(title, 280, Ruler::Measure, &ruler), title);
    EXPECT_EQ(ruler.calls, 2);
    const char *empty = "";
    EXPECT_EQ(FitTextToWidth(empty, 0, Ruler::Measure, &ruler), empty);
}

TEST(FitText, OneCharacterTooWideLosesCharactersForDots)
{
    Ruler ruler;
    // 8 characters, 48 pixels, in 47: "ABCDE..." is 48, "ABCD..." 42.
    EXPECT_EQ(Fit("ABCDEFGH", 47, &ruler), "ABCD...");
    EXPECT_FALSE(ruler.partialSeen);
    EXPECT_EQ(Fit("ABCDEFGHI", 53, &ruler), "ABCDE...");
}

TEST(FitText, JapaneseIsCutBetweenCharacters)
{
    Ruler ruler;
    // 60 pixels in 50: 日本... is 42, 日本語... 54.
    std::string fitted = Fit(kJapanese, 50, &ruler);
    EXPECT_EQ(fitted, std::string(kJapanese, 4) + "...");
    EXPECT_FALSE(ruler.splitSeen);
    EXPECT_FALSE(ruler.partialSeen);

    // Mixed text: "A" + 日本語入力 + "B", 6 + 60 + 6 pixels, in 60.
    std::string mixed = std::string("A") + kJapanese + "B";
    fitted = Fit(mixed.c_str(), 60, &ruler);
    EXPECT_EQ(fitted, std::string("A") + std::string(kJapanese, 6) + "...");
    EXPECT_FALSE(ruler.splitSeen);
}

TEST(FitText, TrailBytesThatLookLikeLeadBytesAreNotSplit)
{
    Ruler ruler;
    std::string text;
    for (int i = 0; i < 6; ++i) text += kSmallA;   // 82 9F 82 9F ...
    std::string fitted = Fit(text.c_str(), 50, &ruler);
    EXPECT_EQ(fitted, std::string(kSmallA) + kSmallA + "...");
    EXPECT_FALSE(ruler.splitSeen);
}

TEST(FitText, NothingFitsGivesDots)
{
    Ruler ruler;
    EXPECT_EQ(Fit("ABC", 17, &ruler), "...");
    EXPECT_EQ(Fit("ABC", 0, &ruler), "...");
    EXPECT_EQ(Fit(kJapanese, 20, &ruler), "...");
    EXPECT_EQ(Fit("X", 5, &ruler), "...");
}

TEST(FitText, LongestTitleStaysInsideTheBuffer)
{
    Ruler ruler;
    std::string title(511, 'W');
    std::string fitted = Fit(title.c_str(), 100, &ruler);
    EXPECT_EQ(fitted, std::string(13, 'W') + "...");
    // Longer than any title: cut to whole characters first.
    std::string japanese;
    while (japanese.size() < 700) japanese += kJapanese;
    fitted = Fit(japanese.c_str(), 3000, &ruler);
    EXPECT_LE(fitted.size(), 514u);
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    EXPECT_FALSE(ruler.splitSeen);
}

TEST(FitText, ResultStaysValidUntilTheNextCall)
{
    Ruler ruler;
    const char *first = FitTextToWidth("ABCDEFGH", 47, Ruler::Measure, &ruler);
    EXPECT_STREQ(first, "ABCD...");
    const char *second = FitTextToWidth("0123456789", 30, Ruler::Measure, &ruler);
    EXPECT_STREQ(second, "01...");
}

}  // namespace

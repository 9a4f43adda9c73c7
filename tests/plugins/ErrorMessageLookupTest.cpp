// The lookup itself, with a table that has a code without text: a case the
// delivered tables never reach.
#include <array>
#include <gtest/gtest.h>
#include <string>

#include "ErrorMessageLookup.h"

namespace {

constexpr std::array<const char*, 3> kEnglish = {"Zero.", nullptr, "Two."};
constexpr std::array<const char*, 3> kGerman = {"Null.", nullptr, "Zwei ä."};
const audff::MessageTable kTable{kEnglish, kGerman};
const int kModule = 0;

std::string LookUp(uint32_t code, const char* language, uint32_t bufferSize, int32_t& result)
{
    std::string buffer(64, '#');
    result = audff::LookUpErrorMessage(kTable, code, buffer.data(), bufferSize, &kModule, language);
    return buffer;
}

TEST(ErrorMessageLookup, CodeWithoutTextGetsTheFallback)
{
    int32_t result = 0;
    std::string text = LookUp(1, "German", 64, result);
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(text.c_str(), "The error message can't be determined.");

    text = LookUp(1, "English", 8, result);
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(text.c_str(), "The err");
    EXPECT_EQ(text[8], '#');
}

TEST(ErrorMessageLookup, TableLimitsAndCharacters)
{
    int32_t result = 0;
    EXPECT_STREQ(LookUp(2, "English", 64, result).c_str(), "Two.");
    EXPECT_STREQ(LookUp(3, "English", 64, result).c_str(), "An invalid error code has been specified.");
    // "Zwei ä." cut to 6 bytes would split the "ä".
    EXPECT_STREQ(LookUp(2, "German", 7, result).c_str(), "Zwei ");
    EXPECT_STREQ(LookUp(2, "German", 8, result).c_str(), "Zwei ä");
    EXPECT_EQ(result, 1);
}

} // namespace

// Texts for the user: messages whose values are filled in after the lookup of their text, and
// byte counts for people.

#include "vantrel/room.h"
#include "vantrel/usermessage.h"

#include <gtest/gtest.h>

namespace {

using morvilo::ByteSizeText;
using morvilo::FillIn;

TEST(UserTexts, ValuesGoIntoTheirPlacesAndAreNotSearchedThemselves) {
    const struct {
        const char *text;
        std::vector<std::string> values;
        const char *filled;
    } cases[] = {
        {"%1 von %2", {"3", "7"}, "3 von 7"},
        {"%2, dann %1", {"a", "b"}, "b, dann a"},
        {"auf %1 sind %2 frei",
         {"/tmp/100%2 fertig", "1.0 MB"},
         "auf /tmp/100%2 fertig sind 1.0 MB frei"},
        {"50 % von %1", {"8"}, "50 % von 8"},
        {"%3 fehlt, %", {"x"}, "%3 fehlt, %"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FillIn(c.text, c.values), c.filled) << c.text;
}

TEST(UserTexts, ByteSizesRoundToATenthOfTheirUnit) {
    const struct {
        uint64_t bytes;
        const char *text;
    } cases[] = {
        {0, "0 Bytes"},         {999, "999 Bytes"},      {1000, "1.0 kB"}, {247752, "247.8 kB"},
        {999949, "999.9 kB"},   {999950, "1.0 MB"}, // rounds up into the next unit
        {5000000000, "5.0 GB"}, {UINT64_MAX, "18.4 EB"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ByteSizeText(c.bytes), c.text) << c.bytes;
}

} // namespace

#include "cli/Args.h"
#include "cli/Progress.h"
#include "document/Json.h"

#include <gtest/gtest.h>

#include <limits>

namespace zarn::cli {
namespace {

TEST(ArgsTest, TakesOptionsInBothSpellingsAndRejectsLeftovers) {
    Args a({"--seed", "5", "--grid=300", "-o", "x.png", "--json"});
    EXPECT_EQ(a.number("--seed", 0, 10), 5u);
    EXPECT_EQ(a.number("--grid", 20, 1000), 300u);
    EXPECT_EQ(a.option("--output", "-o"), "x.png");
    EXPECT_TRUE(a.flag("--json"));
    EXPECT_FALSE(a.flag("--quiet"));
    EXPECT_NO_THROW(a.finish());

    Args left({"--bogus"});
    EXPECT_THROW(left.finish(), UsageError);
}

TEST(ArgsTest, MalformedNumbersAreUsageErrorsAndOutOfRangeOnesInputErrors) {
    EXPECT_THROW(Args({"--grid", "abc"}).number("--grid", 20, 1000), UsageError);
    EXPECT_THROW(Args({"--grid", "12x"}).number("--grid", 20, 1000), UsageError);
    EXPECT_THROW(Args({"--grid", "--5"}).number("--grid", 20, 1000), UsageError);
    EXPECT_THROW(Args({"--grid", "-5"}).number("--grid", 20, 1000), InputError);
    EXPECT_EQ(Args({"--seed", "-0"}).number("--seed", 0, 10), 0u);
    EXPECT_THROW(Args({"--grid", "0"}).number("--grid", 20, 1000), InputError);
    EXPECT_THROW(Args({"--grid", "1001"}).number("--grid", 20, 1000), InputError);
    EXPECT_THROW(Args({"--grid", "99999999999999999999999"}).number("--grid", 20, 1000),
                 InputError);
    EXPECT_THROW(Args({"--grid"}).number("--grid", 20, 1000), UsageError);
}

TEST(ArgsTest, ARepeatedOptionIsGivenTwiceInAnySpelling) {
    EXPECT_THROW(Args({"--seed", "1", "--seed=2"}).number("--seed", 0, 10), UsageError);
    EXPECT_THROW(Args({"-o", "a.png", "--output", "b.png"}).option("--output", "-o"), UsageError);
    EXPECT_THROW(Args({"--json", "--json"}).flag("--json"), UsageError);
    try {
        Args({"--steps", "1", "--steps", "2"}).option("--steps");
        FAIL();
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(), "--steps given twice");
    }
}

TEST(JsonTest, KeepsWellFormedUtf8AndEscapesEveryOtherByte) {
    EXPECT_EQ(jsonQuote("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x80"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x80\"");
    // A lone continuation byte, a cut-off sequence, an overlong slash, a surrogate, DEL.
    EXPECT_EQ(jsonQuote("\x80"), "\"\\u0080\"");
    EXPECT_EQ(jsonQuote("\xE2\x82"), "\"\\u00e2\\u0082\"");
    EXPECT_EQ(jsonQuote("\xC0\xAF"), "\"\\u00c0\\u00af\"");
    EXPECT_EQ(jsonQuote("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");
    EXPECT_EQ(jsonQuote("\x7F"), "\"\\u007f\"");
}

TEST(ProgressTest, FitsTheTerminalAndShowsTimeLeftAsAClock) {
    EXPECT_EQ(ProgressBar::clock(59.4), "0:59");
    EXPECT_EQ(ProgressBar::clock(3725), "1:02:05");
    EXPECT_EQ(ProgressBar::clock(-1), "--:--");
    for (const int columns : {20, 40, 80, 200}) {
        const std::string line = ProgressBar::line(4000000000u / 3, 4000000000u, 10.0, columns);
        EXPECT_LT(static_cast<int>(line.size()), columns) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    const std::string done = ProgressBar::line(300001, 300001, 2.0, 100);
    EXPECT_NE(done.find("300.0k/300.0k steps"), std::string::npos) << done;
    EXPECT_NE(done.find("0:00 left"), std::string::npos) << done;
}

TEST(JsonTest, QuotesControlCharactersAndWritesNonFiniteAsNull) {
    EXPECT_EQ(jsonQuote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(jsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(std::stod(jsonNumber(0.1)), 0.1);
    JsonWriter w;
    w.beginObject()
        .value("a", 1)
        .beginArray("b")
        .endArray()
        .beginObject("c")
        .endObject()
        .endObject();
    EXPECT_EQ(w.text(), "{\n  \"a\": 1,\n  \"b\": [],\n  \"c\": {}\n}\n");
}

} // namespace
} // namespace zarn::cli

#include "cli/Args.h"
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
    EXPECT_THROW(Args({"--grid", "-5"}).number("--grid", 20, 1000), UsageError);
    EXPECT_THROW(Args({"--grid", "0"}).number("--grid", 20, 1000), InputError);
    EXPECT_THROW(Args({"--grid", "1001"}).number("--grid", 20, 1000), InputError);
    EXPECT_THROW(Args({"--grid", "99999999999999999999999"}).number("--grid", 20, 1000),
                 InputError);
    EXPECT_THROW(Args({"--grid"}).number("--grid", 20, 1000), UsageError);
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

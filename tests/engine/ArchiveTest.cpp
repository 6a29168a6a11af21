#include "engine/Archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zarn {
namespace {

struct Sample {
    std::uint8_t a = 0;
    std::uint16_t b = 0;
    std::int32_t c = 0;
    double d = 0;
    void serialize(Archive& ar) {
        ar.io(a, "a");
        ar.io(b, "b");
        ar.io(c, "c");
        ar.pad(3, "spare");
        ar.io(d, "d");
    }
};

TEST(ArchiveTest, StoresLittleEndianWithoutPaddingAndLoadsTheSameSequence) {
    Sample s{0x11, 0x2233, -2, 1.5};
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    s.serialize(out);
    ASSERT_EQ(bytes.size(), 1u + 2 + 4 + 3 + 8);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x33);
    EXPECT_EQ(bytes[2], 0x22);
    EXPECT_EQ(bytes[3], 0xFE);
    EXPECT_EQ(bytes[6], 0xFF);
    EXPECT_EQ(bytes[7], 0);

    Sample back;
    Archive in{std::span<const std::uint8_t>(bytes)};
    back.serialize(in);
    EXPECT_EQ(back.a, s.a);
    EXPECT_EQ(back.b, s.b);
    EXPECT_EQ(back.c, s.c);
    EXPECT_EQ(back.d, s.d);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ArchiveTest, ShortInputFailsNamingTheField) {
    std::vector<std::uint8_t> bytes(5, 0);
    Archive in{std::span<const std::uint8_t>(bytes)};
    Sample s;
    try {
        s.serialize(in);
        FAIL() << "expected a FormatError";
    } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find("c:"), std::string::npos) << e.what();
    }
}

TEST(ArchiveTest, RequireFiniteRefusesNanAndInfinity) {
    EXPECT_NO_THROW(requireFinite(1.0, "x"));
    EXPECT_THROW(requireFinite(std::nan(""), "x"), FormatError);
    EXPECT_THROW(requireFinite(std::numeric_limits<double>::infinity(), "x"), FormatError);
}

} // namespace
} // namespace zarn

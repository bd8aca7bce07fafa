// The number fields of the lists: lenient decimal and hexadecimal reads that give "not a number"
// instead of an error, and the eight-digit CRC field that never reads past its line.
#include "platform/Errors.h"
#include "readers/ListLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tv {
namespace {

TEST(NumberFields, TryDecimalTakesSigned64BitDecimalsOnly) {
    const struct {
        std::string text;
        std::optional<std::int64_t> value;
    } cases[] = {
        {"0", 0},
        {"1048576", 1048576},
        {"   42", 42},
        {"+7", 7},
        {"-7", -7},
        {"2147483647", 2147483647},
        {"2147483648", 2147483648},
        {"4294967299", 4294967299},
        {"9223372036854775807", 9223372036854775807},
        {"9223372036854775808", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"-", std::nullopt},
        {"42 ", std::nullopt},
        {"4 2", std::nullopt},
        {"$10", std::nullopt},
        {"0x10", std::nullopt},
        {"1,234", std::nullopt},
    };
    for (const auto& c : cases) {
        std::int64_t v = 12345;
        const bool ok = TryDecimal(c.text, v);
        EXPECT_EQ(ok, c.value.has_value()) << "'" << c.text << "'";
        if (ok && c.value) {
            EXPECT_EQ(v, *c.value) << "'" << c.text << "'";
        }
    }
}

TEST(NumberFields, TryHexTakesOneToEightHexDigits) {
    const struct {
        std::string text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"1A2B3C4D", 0x1A2B3C4Du}, {"ffffffff", 0xFFFFFFFFu}, {"00000000", 0u}, {"ABC", 0xABCu},
        {"", std::nullopt},        {"123456789", std::nullopt}, {" 1234567", std::nullopt}, {"1234567G", std::nullopt},
        {"-1234567", std::nullopt}, {"$1234567", std::nullopt},
    };
    for (const auto& c : cases) {
        std::uint32_t v = 0;
        const bool ok = TryHex(c.text, v);
        EXPECT_EQ(ok, c.value.has_value()) << "'" << c.text << "'";
        if (ok && c.value) {
            EXPECT_EQ(v, *c.value) << "'" << c.text << "'";
        }
    }
}

TEST(NumberFields, HexCrcFieldNeedsEightDigitsInsideTheLine) {
    const struct {
        std::string line;
        std::size_t from;
        std::optional<std::uint32_t> value;
        std::string error;
    } cases[] = {
        {"a 1A2B3C4D", 2, 0x1A2B3C4Du, ""},
        {"a 1a2b3c4d and more", 2, 0x1A2B3C4Du, ""},
        {"a 1A2B3C", 2, std::nullopt, "'$1A2B3C' is not a valid integer value"},
        {"a", 2, std::nullopt, "'$' is not a valid integer value"},
        {"a", 200, std::nullopt, "'$' is not a valid integer value"},
        {"a 1A2B3C4Z", 2, std::nullopt, "'$1A2B3C4Z' is not a valid integer value"},
        {"a  1A2B3C4", 2, std::nullopt, "'$ 1A2B3C4' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.value) {
            EXPECT_EQ(HexCrcField(c.line, c.from), *c.value);
        } else {
            try {
                HexCrcField(c.line, c.from);
                ADD_FAILURE() << "no error";
            } catch (const ConvertError& e) {
                EXPECT_EQ(std::string(e.what()), c.error);
            }
        }
    }
}

} // namespace
} // namespace tv

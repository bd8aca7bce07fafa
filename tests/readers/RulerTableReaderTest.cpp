// Ruler tables: columns counted back from the right end of the first ruler line, rows up to the
// second ruler.
#include "ListLoadFixture.h"

namespace tv::test {
namespace {

const std::string Ruler(64, '-');
const std::string Titles = "File name                            Size  Date           CRC-32";

// A row of the 64-byte table: the name in 30 bytes, a separator, the size in ten bytes, fifteen
// bytes of date, the CRC.
std::string Row(const std::string& name, const std::string& size, const std::string& crc) {
    std::string padded = name;
    padded.resize(30, ' ');
    std::string sizeField = size;
    sizeField.insert(0, sizeField.size() < 10 ? 10 - sizeField.size() : 0, ' ');
    return padded + " " + sizeField + "  2003/05/04   " + crc;
}

TEST(RulerTableReader, ReadsTheRowsBetweenTheRulers) {
    ListLoad::CheckAll({
        {"a .CRC list without a signature", "t.crc",
         Lines({Titles, Ruler, Row("holiday 01.jpg", "1,048,576", "1A2B3C4D"), Row("b", "12,345,678", "2222abcd"),
                Ruler, "lines after the table are not read", "x"}),
         {{"holiday 01.jpg", 1048576, "1A2B3C4D"}, {"b", 12345678, "2222ABCD"}}, 0, ReadEndStatus("t.crc"), ""},
        {"a signature in the first line of a .SFV file", "t.sfv",
         Lines({"JPEG Sheriff v3", Titles, Ruler, Row("a", "1", "11111111"), Ruler}), {{"a", 1, "11111111"}}, 0,
         ReadEndStatus("t.sfv"), ""},
        {"sizes of fewer digits, right-aligned", "t.crc",
         Lines({Ruler, Row("a", "7", "11111111"), Row("b", "123", "22222222"), Row("c", "1,234", "33333333"),
                Row("d", "123,456", "44444444"), Ruler}),
         {{"a", 7, "11111111"}, {"b", 123, "22222222"}, {"c", 1234, "33333333"}, {"d", 123456, "44444444"}}, 0,
         ReadEndStatus("t.crc"), ""},
        {"rows longer than the ruler; the ruler's trailing blanks do not count", "t.crc",
         Lines({Ruler + "   ", Row("a", "1", "11111111") + " whatever follows", Ruler}), {{"a", 1, "11111111"}}, 0,
         ReadEndStatus("t.crc"), ""},
        {"a name holding eight hyphens ends the table", "t.crc",
         Lines({Ruler, Row("a", "1", "11111111"), Row("b--------c", "2", "22222222"), Row("d", "4", "44444444")}),
         {{"a", 1, "11111111"}}, 0, ReadEndStatus("t.crc"), ""},
    });
}

TEST(RulerTableReader, StopsWhereTheTableEndsEarly) {
    ListLoad::CheckAll({
        {"a row shorter than the ruler", "t.crc",
         Lines({Ruler, Row("a", "1", "11111111"), "short row", Row("c", "3", "33333333"), Ruler}),
         {{"a", 1, "11111111"}}, 0, StoppedAfter("short row"), ""},
        {"a short row is named by its name column as it stands", "t.crc",
         Lines({Ruler, Row("a", "1", "11111111"), "abcdefghijklmnopqrstuvwxyz0123456789 11111111", Ruler}),
         {{"a", 1, "11111111"}}, 0,
         StoppedAfter("abcdefghijklmnopqrstuvwxyz0123"), ""},
        {"an empty row", "t.crc", Lines({Ruler, Row("a", "1", "11111111"), "", Ruler}), {{"a", 1, "11111111"}}, 0,
         StoppedAfter(""), ""},
        {"no closing ruler", "t.crc", Lines({Ruler, Row("a", "1", "11111111"), Row("b", "2", "22222222")}),
         {{"a", 1, "11111111"}, {"b", 2, "22222222"}}, 0, StoppedAfter("b"), ""},
        {"no ruler at all", "t.crc", Lines({"a.bin 11111111", "b.bin 22222222"}), {}, 0, EmptyTableStatus("t.crc"),
         ""},
        {"an empty file", "t.crc", "", {}, 0, EmptyTableStatus("t.crc"), ""},
        // Eight hyphens leave no room for the size and name columns: nothing is read.
        {"a ruler of eight bytes", "t.crc", Lines({"--------", "a 11111111", "abcdefgh", "--------"}), {}, 0,
         EmptyTableStatus("t.crc"), ""},
        {"a ruler just too narrow for a name column", "t.crc",
         Lines({std::string(34, '-'), std::string(34, '1'), std::string(34, '-')}), {}, 0, EmptyTableStatus("t.crc"),
         ""},
    });
}

TEST(RulerTableReader, ColumnsThatAreNotNumbersEndTheLoad) {
    ListLoad::CheckAll({
        {"a CRC that is not hexadecimal", "t.crc", Lines({Ruler, Row("a", "1", "1111111Z"), Ruler}), {}, 0, "",
         ConversionError("$1111111Z")},
        {"a letter among the size digits", "t.crc", Lines({Ruler, Row("a", "1,2x4", "11111111"), Ruler}), {}, 0, "",
         ConversionError("12x4")},
        {"a blank size column", "t.crc", Lines({Ruler, Row("a", "", "11111111"), Ruler}), {}, 0, "",
         ConversionError("")},
        {"blanks between the size digits", "t.crc", Lines({Ruler, Row("a", "1 2", "11111111"), Ruler}), {}, 0, "",
         ConversionError("1 2")},
    });
}

TEST(RulerTableReader, UnsignedCrcFilesNeverGetTheUnknownFileReport) {
    ListLoad load;
    load.Load("t.crc", Lines({"nothing here", "a 11111111"}));
    EXPECT_TRUE(load.ui.Messages.empty());
    EXPECT_EQ(load.StatusText(), EmptyTableStatus("t.crc"));
    EXPECT_TRUE(load.form.ListHasSizes);
}

} // namespace
} // namespace tv::test

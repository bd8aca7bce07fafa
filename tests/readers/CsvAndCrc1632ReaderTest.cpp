// CSV lists and CRC1632 text lists: comma-separated records, the CSV ones ending silently at the
// first unusable record, the CRC1632 ones behind their title line.
#include "ListLoadFixture.h"

namespace tv::test {
namespace {

TEST(CsvReader, ReadsRecordsUpToTheFirstUnusableOne) {
    ListLoad::CheckAll({
        {"records as the program writes them", "l.csv",
         Lines({"holiday 01.jpg,1048576,1A2B3C4D", "日本語 ファイル.txt,7,0000abcd"}),
         {{"holiday 01.jpg", 1048576, "1A2B3C4D"}, {"日本語 ファイル.txt", 7, "0000ABCD"}}, 0, ReadEndStatus("l.csv"),
         ""},
        {"any letter case of the extension, whatever the first line holds", "L.Csv",
         Lines({"QuickSFV.bin,5,11111111"}), {{"QuickSFV.bin", 5, "11111111"}}, 0, ReadEndStatus("L.Csv"), ""},
        {"short records are read, blank lines passed over", "l.csv",
         Lines({"ab,1,1234ABCD", "", "   ", "abc,1,2234ABCD"}), {{"ab", 1, "1234ABCD"}, {"abc", 1, "2234ABCD"}}, 0,
         ReadEndStatus("l.csv"), ""},
        {"spaces before the size, text after the CRC", "l.csv", Lines({"abcd,   42,1234abcd,2003-05-04"}),
         {{"abcd", 42, "1234ABCD"}}, 0, ReadEndStatus("l.csv"), ""},
        // A first line of column titles is passed over; a broken first record still ends the list.
        {"a title line", "l.csv", Lines({"FileName,FileSize,CRC", "abcd,42,1234ABCD"}), {{"abcd", 42, "1234ABCD"}}, 0,
         ReadEndStatus("l.csv"), ""},
        {"quoted titles after a blank line", "l.csv",
         Lines({"", "\"File Name\",\"Size (bytes)\",\"CRC32\"", "abcd,42,1234ABCD"}), {{"abcd", 42, "1234ABCD"}}, 0,
         ReadEndStatus("l.csv"), ""},
        {"every field quoted, titles too", "l.csv",
         Lines({"\"Name\",\"Size\",\"CRC32\"", "\"a,b.bin\",\"42\",\"1234abcd\"", "\"c.bin\",\"\",\"1234ABCD\""}),
         {{"a,b.bin", 42, "1234ABCD"}}, 0, StoppedAfter("a,b.bin"), ""},
        {"Japanese titles", "l.csv", Lines({"ファイル名,サイズ,CRC32", "abcd,42,1234ABCD"}), {{"abcd", 42, "1234ABCD"}},
         0, ReadEndStatus("l.csv"), ""},
        {"titles and no record", "l.csv", Lines({"Name,Size,CRC32", ""}), {}, 0, NothingReadable, ""},
        {"titles only on the first line", "l.csv", Lines({"abcd,42,1234ABCD", "Name,Size,CRC32", "efgh,1,11111111"}),
         {{"abcd", 42, "1234ABCD"}}, 0, StoppedAfter("abcd"), ""},
        {"a first record with a comma in its name", "l.csv", Lines({"a,b.txt,2,22222222", "abcd,42,1234ABCD"}), {}, 0,
         NothingReadable, ""},
        {"a first record without a CRC", "l.csv", Lines({"efghijk.txt,22,", "abcd,42,1234ABCD"}), {}, 0,
         NothingReadable, ""},
        // An empty file's record (as our writer writes it), a CRC of 0 and sizes of 2 GiB and more are
        // entries; the entry with CRC 0 is the one counted without a CRC.
        {"an empty file's record", "l.csv", Lines({"abcd,1,11111111", "empty.txt,0,00000000", "efgh,2,22222222"}),
         {{"abcd", 1, "11111111"}, {"efgh", 2, "22222222"}}, 1, ReadEndStatus("l.csv"), ""},
        {"a CRC of 00000000", "l.csv", Lines({"abcd,1,11111111", "efgh,5,00000000", "ijkl,2,22222222"}),
         {{"abcd", 1, "11111111"}, {"ijkl", 2, "22222222"}}, 1, ReadEndStatus("l.csv"), ""},
        {"sizes of 2 GiB and beyond 32 bits", "l.csv",
         Lines({"abcd,1,11111111", "big.iso,2147483648,33333333", "huge.iso,4294967297,44444444"}),
         {{"abcd", 1, "11111111"}, {"big.iso", 2147483648, "33333333"}, {"huge.iso", 4294967297, "44444444"}}, 0,
         ReadEndStatus("l.csv"), ""},
        // The list stops at an unusable record; the status names the last record read, so that a list
        // cut short does not look complete.
        {"a comma in a name", "l.csv", Lines({"abcd,1,11111111", "a,b.txt,2,22222222"}), {{"abcd", 1, "11111111"}},
         0, StoppedAfter("abcd"), ""},
        {"a space after the second comma", "l.csv", Lines({"abcd,1,11111111", "efgh,2, 22222222"}),
         {{"abcd", 1, "11111111"}}, 0, StoppedAfter("abcd"), ""},
        {"a size in hexadecimal", "l.csv", Lines({"abcd,1,11111111", "efgh,$10,22222222"}), {{"abcd", 1, "11111111"}},
         0, StoppedAfter("abcd"), ""},
        {"a line without commas", "l.csv", Lines({"abcd,1,11111111", "no commas in this line"}),
         {{"abcd", 1, "11111111"}}, 0, StoppedAfter("abcd"), ""},
        // Empty size fields (a request list made from a list without sizes): the first record decides.
        {"a list without sizes", "l.csv", Lines({"abcd.bin,,11111111", "efgh.bin,  ,22222222", "added.bin,5,33333333"}),
         {{"abcd.bin", 0, "11111111"}, {"efgh.bin", 0, "22222222"}, {"added.bin", 0, "33333333"}}, 0,
         ReadEndStatus("l.csv"), ""},
        {"an empty size in a list with sizes", "l.csv", Lines({"abcd,1,11111111", "efgh.bin,,22222222"}),
         {{"abcd", 1, "11111111"}}, 0, StoppedAfter("abcd"), ""},
        {"a record without a CRC", "l.csv", Lines({"abcd,1,11111111", "efghijk.txt,22,"}), {{"abcd", 1, "11111111"}}, 0,
         StoppedAfter("abcd"), ""},
    });
}

TEST(CsvReader, TotalCounterCountsTheRecordsAsTheyAreRead) {
    ListLoad load;
    std::vector<std::string> seen;
    load.ui.OnProcessMessages = [&] {
        if (seen.empty() || seen.back() != load.form.TotalCounter.Caption())
            seen.push_back(load.form.TotalCounter.Caption());
    };
    load.Load("l.csv", Lines({"abcd,1,11111111", "efgh,2,22222222"}));
    EXPECT_EQ(seen, (std::vector<std::string>{"0", "1", "2"}));
}

const std::string Title = "FileName, CRC16, CRC32, FileSize, Path";

TEST(Crc1632Reader, ReadsRecordsBehindTheTitleLine) {
    ListLoad::CheckAll({
        {"records with their paths", "c.txt",
         Title + "\r\nholiday 01.jpg, 1F2E, 1A2B3C4D, 1048576, C:\\photos\\holiday 01.jpg\r\n"
                 "日本語.txt, 0000, 0000abcd, 7, C:\\x, y\\日本語.txt",
         {{"holiday 01.jpg", 1048576, "1A2B3C4D"}}, 0, "", ConversionError("7, C:\\x")},
        {"any letter case of .TXT", "C.TxT", Lines({Title, "a, 1F2E, 11111111, 5, C:\\a"}), {{"a", 5, "11111111"}}, 0,
         ReadEndStatus("C.TxT"), ""},
        {"a title line only", "c.txt", Lines({Title}), {}, 0, EmptyTableStatus("c.txt"), ""},
    });
}

TEST(Crc1632Reader, RecordsThatDoNotFitEndTheLoad) {
    ListLoad::CheckAll({
        {"an empty line after the title line", "c.txt", Lines({Title, "", "a, 1F2E, 11111111, 5, C:\\a"}), {}, 0, "",
         ConversionError("$")},
        {"an empty line after the last record", "c.txt", Lines({Title, "a, 1F2E, 11111111, 5, C:\\a", ""}), {}, 0, "",
         ConversionError("$")},
        {"a comma in a file name", "c.txt", Lines({Title, "a,b.txt, 1F2E, 11111111, 5, C:\\a"}), {}, 0, "",
         ConversionError("$1F2E, 11")},
        {"a comma in the path", "c.txt", Lines({Title, "a, 1F2E, 11111111, 5, C:\\x,y"}), {}, 0, "",
         ConversionError("5, C:\\x")},
        {"a space after the size", "c.txt", Lines({Title, "a, 1F2E, 11111111, 5 , C:\\a"}), {}, 0, "",
         ConversionError("5 ")},
        {"a record that ends in its CRC", "c.txt", Lines({Title, "a, 1F2E, 1111"}), {}, 0, "",
         ConversionError("$1111")},
        {"a record without commas", "c.txt", Lines({Title, "a.txt 11111111"}), {}, 0, "", ConversionError("$")},
        {"a record without the path column", "c.txt", Lines({Title, "a, 1F2E, 11111111, 5"}), {}, 0, "",
         ConversionError("")},
    });
}

TEST(Crc1632Reader, RefusesOtherTitleLinesAndEmptiesThePreviousList) {
    for (const std::string title : {"FileName,CRC16,CRC32,FileSize,Path", "filename, crc16, crc32, filesize, path",
                                    "FileName, CRC16, CRC32, FileSize, Path ", "a.bin 11111111"}) {
        SCOPED_TRACE(title);
        ListLoad load;
        load.Load("before.csv", Lines({"abcd,1,11111111"}));
        ASSERT_EQ(load.form.EntryCount, 1);
        load.Load("c.txt", Lines({title, "a, 1F2E, 11111111, 5, C:\\a"}));
        EXPECT_EQ(load.StatusText(), "CRC1632で作られたファイルではありません　c.txt");
        EXPECT_EQ(load.form.EntryCount, 0);
        EXPECT_EQ(load.form.CrcList.Count(), 0);
        EXPECT_EQ(load.form.TotalCounter.Caption(), "0");
        EXPECT_TRUE(load.ui.Errors.empty());
    }
}

TEST(Crc1632Reader, IsTheReaderOfTxtListsEachTimeTheyAreOpened) {
    ListLoad load;
    load.dir.Write("a.bin", "hello");
    const std::string list = Lines({Title, "a.bin, 0000, 3610A686, 5, D:\\elsewhere\\a.bin"});
    load.Load("c.txt", list);
    EXPECT_EQ(load.form.BaseFolder, load.dir.Path());
    EXPECT_EQ(load.Mark("a.bin"), "○");
    load.Load("c.txt", list);
    EXPECT_EQ(load.Mark("a.bin"), "○");
    EXPECT_EQ(load.StatusText(), ReadEndStatus("c.txt"));
}

} // namespace
} // namespace tv::test

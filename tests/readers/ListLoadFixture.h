#pragma once
// Loads a list text written to a fresh folder through the window's open path and collects what the
// user would see: the entries, the status text and the error box.
#include "app/TallyvaultMain.h"
#include "support/FormHarness.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace tv::test {

struct ListedEntry {
    std::string Name;
    std::int64_t Size = 0; // compared only for lists with sizes
    std::string Crc;       // eight upper-case hex digits
    bool operator==(const ListedEntry&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const ListedEntry& e) {
    return os << '{' << e.Name << ", " << e.Size << ", " << e.Crc << '}';
}

inline std::string Hex8(std::uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

// Lines joined with CR LF after each, as list files are written.
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

// Entries whose CRC could not be read keep CRC 0, and the verification keeps one of them only: the
// cases compare the entries that got a CRC, and count the ones that did not.
inline std::vector<ListedEntry> WithCrc(const std::vector<ListedEntry>& v) {
    std::vector<ListedEntry> out;
    for (const ListedEntry& e : v)
        if (e.Crc != "00000000") out.push_back(e);
    return out;
}
inline std::size_t WithoutCrc(const std::vector<ListedEntry>& v) { return v.size() - WithCrc(v).size(); }

inline std::string EmptyTableStatus(const std::string& listName) { return "表示項目が有りません ( " + listName + " )"; }
inline std::string ReadEndStatus(const std::string& listName) { return "読み取り終了 " + listName; }
inline std::string ReadStartStatus(const std::string& listName) { return "読み取り開始 " + listName; }
inline std::string StoppedAfter(const std::string& name) { return name + "以降の項目が読み取れません"; }
inline const char* const NothingReadable = "全ての項目が読み取れません";
inline std::string ConversionError(const std::string& field) { return "'" + field + "' is not a valid integer value"; }

// One case of a reader table: a list text in, the entries and the status text or the error out.
struct ReaderCase {
    const char* Title;
    std::string ListName;
    std::string Text;
    std::vector<ListedEntry> Entries; // the entries that got a CRC
    std::size_t Unread = 0;           // entries left with CRC 0 after the verification (0 or 1)
    std::string Status;               // the status text after a load that ends normally
    std::string Error;                // the error box text, when the load ends with an error
};

// A fresh folder, a scripted UI and a window for one load, with the checks every load must pass.
class ListLoad : public FormHarness {
public:
    // Writes `text` as `listName` in the folder and opens it as the open command does.
    void Load(const std::string& listName, const std::string& text) {
        FormHarness::Load(listName, text);
        ExpectTableAndRowsAgree();
    }

    // The entries in name order (the order the verification leaves them in), sizes zeroed for lists
    // without sizes.
    std::vector<ListedEntry> Entries() const {
        std::vector<ListedEntry> out;
        for (std::int32_t i = 0; i < form.EntryCount; ++i) {
            const TCrcTable& e = form.EntryTable[i];
            out.push_back({e.FileName, form.ListHasSizes ? e.FileSize : 0, Hex8(e.Crc)});
        }
        std::sort(out.begin(), out.end(), [](const ListedEntry& a, const ListedEntry& b) { return a.Name < b.Name; });
        return out;
    }

    static std::vector<ListedEntry> Sorted(std::vector<ListedEntry> v) {
        std::sort(v.begin(), v.end(), [](const ListedEntry& a, const ListedEntry& b) { return a.Name < b.Name; });
        return v;
    }

    std::string StatusText() const { return form.Status.Caption(); }
    std::string ErrorText() const { return ui.Errors.empty() ? std::string() : ui.Errors.back(); }

    // Loads a case and checks everything it gives.
    void Check(const ReaderCase& c) {
        SCOPED_TRACE(c.Title);
        Load(c.ListName, c.Text);
        if (!c.Error.empty()) {
            EXPECT_EQ(ErrorText(), c.Error);
            // A load that ended with an error never verified: its rows and table were emptied together.
            EXPECT_EQ(StatusText(), ReadStartStatus(c.ListName));
            EXPECT_EQ(form.EntryCount, 0);
            return;
        }
        EXPECT_TRUE(ui.Errors.empty()) << ErrorText();
        const std::vector<ListedEntry> got = Entries();
        EXPECT_EQ(WithCrc(got), Sorted(c.Entries));
        EXPECT_EQ(WithoutCrc(got), c.Unread);
        EXPECT_EQ(StatusText(), c.Status);
    }

    static void CheckAll(const std::vector<ReaderCase>& cases) {
        for (const ReaderCase& c : cases) {
            ListLoad load;
            load.Check(c);
        }
    }

    void ExpectTableAndRowsAgree() const {
        ASSERT_EQ(form.CrcList.Count(), form.EntryCount);
        for (std::int32_t i = 0; i < form.EntryCount; ++i)
            EXPECT_EQ(form.CrcList.Item(i).FileName(), form.EntryTable[i].FileName) << "row " << i;
        EXPECT_FALSE(ui.Busy) << "the hourglass stayed on";
    }
};

} // namespace tv::test

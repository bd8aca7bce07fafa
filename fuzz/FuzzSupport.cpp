#include "FuzzSupport.h"
#include "core/EntryNames.h"

#include <algorithm>
#include <tuple>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace tv::fuzz {

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

const std::vector<FixtureFile>& FixtureFiles() {
    static const std::vector<FixtureFile> files = {
        {"alpha.bin", "alpha\n"},
        {"bravo.txt", "bravo bravo bravo\r\n"},
        {"copy of alpha.bin", "alpha\n"},
        {"empty.dat", ""},
        {"sub/charlie.dat", std::string("charlie\0\x1a\xff", 10)},
    };
    return files;
}

FixtureFolder::FixtureFolder() {
    for (const FixtureFile& f : FixtureFiles())
        Write(f.Name, f.Content);
}

std::string FixtureFolder::Write(std::string_view name, std::string_view content) const {
    const std::string path = dir_ / name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return WriteFile(path, content);
}

std::string WriteFile(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot create " + path);
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0) Fail("cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

void FixtureFolder::Remove(std::string_view name) const {
    ::unlink((dir_ / name).c_str());
}

namespace {

std::string ReadSmallFile(const std::string& path) {
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "(missing)";
    char buf[256];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return out;
}

} // namespace

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void FixtureFolder::CheckIntact(const std::vector<std::string>& allowed) const {
    std::set<std::string> expected(allowed.begin(), allowed.end());
    for (const FixtureFile& f : FixtureFiles()) {
        expected.insert(f.Name);
        if (ReadSmallFile(dir_ / f.Name) != f.Content) Fail("fixture file changed: " + f.Name);
    }
    expected.insert("sub");
    // The fixture has one subfolder; anything new in either folder was written by the command.
    for (const std::string& n : NamesIn(Path()))
        if (!expected.count(n)) Fail("unexpected file in the list's folder: " + n);
    for (const std::string& n : NamesIn(dir_ / "sub"))
        if (!expected.count("sub/" + n)) Fail("unexpected file in the list's folder: sub/" + n);
}

FixtureFolder& SharedFixture() {
    static FixtureFolder folder;
    return folder;
}

void CheckAfterCommand(const TForm1& form, const test::FakeUi& ui) {
    if (ui.Busy) Fail("the hourglass stayed on");
    if (form.CommandRunning()) Fail("a command is still marked as running");
    if (form.SearchRunning || form.SearchActive) Fail("a search is still marked as running");
    if (form.EntryCount < 0) Fail("negative entry count");
    if (form.CrcList.Count() != form.EntryCount) Fail("rows and entries differ in number");
    for (std::int32_t i = 0; i < form.EntryCount; ++i) {
        const TListItem& row = form.CrcList.Item(i);
        if (row.Caption() != ShownName(form.EntryTable[i])) Fail("row " + std::to_string(i) + " shows another entry");
        if (row.ImageIndex != static_cast<int>(form.EntryState(i)))
            Fail("row " + std::to_string(i) + " has another state");
    }
}

void CheckAfterLoad(const TForm1& form, const test::FakeUi& ui, std::size_t errorsBefore) {
    CheckAfterCommand(form, ui);
    // Entries may share a CRC (files with identical contents), but a repeated line is one entry.
    std::vector<std::tuple<std::uint32_t, std::string, std::int64_t>> keys;
    keys.reserve(static_cast<std::size_t>(form.EntryCount));
    for (std::int32_t i = 0; i < form.EntryCount; ++i) {
        const TCrcTable& e = form.EntryTable[i];
        keys.emplace_back(e.Crc, e.FileName, form.ListHasSizes ? e.FileSize : 0);
    }
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.begin(), keys.end()) != keys.end())
        Fail("two entries share a name, a CRC and a size after the load");
    if (ui.Errors.size() > errorsBefore + 1) Fail("more than one error box for one load");
}

void LoadAndCheck(const std::string& listPath, bool twice) {
    test::FakeUi ui;
    TForm1 form(ui, RealFs());
    form.ListPath = listPath;
    form.RunCommand([&] { form.OpenListFile(); }, true);
    CheckAfterLoad(form, ui, 0);
    if (!twice) return;
    // Reading the list a second time, as the status-bar click does, gives the same table.
    std::vector<std::string> first;
    for (std::int32_t i = 0; i < form.EntryCount; ++i)
        first.push_back(form.EntryTable[i].FileName);
    const std::size_t errors = ui.Errors.size();
    form.RunCommand([&] { form.StatusClick(); }, true);
    CheckAfterLoad(form, ui, errors);
    if (ui.Errors.size() != 2 * errors) Fail("the second read of the list ended differently");
    std::vector<std::string> second;
    for (std::int32_t i = 0; i < form.EntryCount; ++i)
        second.push_back(form.EntryTable[i].FileName);
    if (first != second) Fail("the second read of the list gave other entries");
}

} // namespace tv::fuzz

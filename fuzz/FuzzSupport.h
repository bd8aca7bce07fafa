#pragma once
// What the fuzz targets share: a folder with a few files that lists may name, the window over the
// real file system with the scripted UI, and the checks every command must pass. A failed check
// aborts, which libFuzzer reports as a finding with the input that caused it.
#include "app/TallyvaultMain.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv::fuzz {

[[noreturn]] void Fail(const std::string& what);

// Writes (or replaces) a file; aborts when it cannot. Returns the path.
std::string WriteFile(const std::string& path, std::string_view content);
// The names in one folder, "." and ".." left out, sorted.
std::vector<std::string> NamesIn(const std::string& folder);

// A file the fixture folder holds, with its content.
struct FixtureFile {
    std::string Name; // "/"-separated below the folder
    std::string Content;
};

// The files the lists are read against: a few plain files, one of them twice under two names, an
// empty one and one in a subfolder.
const std::vector<FixtureFile>& FixtureFiles();

// A fresh temporary folder holding the fixture files, made once per process.
class FixtureFolder {
public:
    FixtureFolder();
    const std::string& Path() const { return dir_.Path(); }
    // Writes (or replaces) a file of the folder; aborts when it cannot.
    std::string Write(std::string_view name, std::string_view content) const;
    void Remove(std::string_view name) const;
    // Every fixture file still holds its content and nothing else appeared in the folder tree
    // (besides the names in `allowed`).
    void CheckIntact(const std::vector<std::string>& allowed) const;

private:
    test::TempDir dir_;
};

FixtureFolder& SharedFixture();

// After a command: the pointer is normal again, no command is still running, and row i shows entry i.
void CheckAfterCommand(const TForm1& form, const test::FakeUi& ui);

// After a load: the checks above, and every CRC of the table occurs once (the verification keeps one
// entry of each run of equal CRCs), and at most one error box since `errorsBefore` were shown.
void CheckAfterLoad(const TForm1& form, const test::FakeUi& ui, std::size_t errorsBefore);

// Loads a list as the open command does, and checks the outcome; with `twice`, reads it again as the
// status-bar click does and checks that the same entries come out.
void LoadAndCheck(const std::string& listPath, bool twice);

} // namespace tv::fuzz

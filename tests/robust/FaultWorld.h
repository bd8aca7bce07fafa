#pragma once
// A window over a small file set in a fresh temporary folder, reached through the fault-injecting file
// system, and the checks that must hold after any command whatever failed under it.
#include "app/TallyvaultMain.h"
#include "support/FakeUi.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tv::test {

// The set: <tmp>/set holds the list's folder, <tmp>/elsewhere a tree the search walks, <tmp>/trash the
// desktop trash.
struct FaultWorld {
    FaultWorld();
    ~FaultWorld();
    FaultWorld(const FaultWorld&) = delete;
    FaultWorld& operator=(const FaultWorld&) = delete;

    FakeUi ui;
    FaultyFileSystem fs;
    TForm1 form{ui, fs};
    TempDir dir;
    std::string set;
    std::string elsewhere;

    // A command as the window starts it (the search's stop click is let through while it runs).
    void Click(const std::function<void()>& body, bool busy = false);
    // Some command passed over a sub-folder or file it could not read and named it in the status bar.
    bool NamedPassedOver = false;
    void Load(const std::string& listName);
    // Ticks the rows of one selection of the check button (0 the ！ rows, 1 the × and － rows, 2 all).
    void Tick(int selection);
    void SearchFrom(const std::string& root);
    // Gives every file the same modification time, so that lists written in two runs agree.
    void FixFileTimes();

private:
    std::string oldDataHome_;
    bool hadDataHome_ = false;
};

// What the user sees after a command: rows with marks and columns, status text, message boxes.
std::string Outcome(const FaultWorld& w);

// Every file under a folder by its path below it, with its content.
std::map<std::string, std::string> FilesUnder(const std::string& root);

struct Scenario {
    const char* Name;
    std::function<void(FaultWorld&)> Setup;   // the files and the window's state before the command
    std::function<void(FaultWorld&)> Command; // the command, as the window starts it
    std::vector<std::string> Lists;           // files (below the set folder) the command may rewrite
    // What of a rewritten file must be the same in every complete writing (a clock time is not).
    std::function<std::string(const std::string&)> Stable = [](const std::string& text) { return text; };
};

struct FaultRunResult {
    int FailurePoints = 0;
    std::vector<std::string> Violations;
};

// Runs the scenario once without a failure to count the operations `fault` applies to, then once for
// every k, failing the k-th, and checks each run.
FaultRunResult RunAtEveryFailurePoint(const Scenario& s, Fault fault);

} // namespace tv::test

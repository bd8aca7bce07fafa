// The fault-injecting file system itself: it fails exactly the k-th operation of its kind with the
// chosen error, passes everything else through, and the scenario checks do catch a command that
// mishandles a failure.
#include "FaultWorld.h"

#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tv::test {
namespace {

TEST(FaultyFileSystem, FailsTheKthOperationOfItsKindWithItsError) {
    TempDir dir;
    const std::string a = dir.Write("a.txt", "0123456789"), b = dir / "b.txt";
    FaultyFileSystem fs;
    char buf[4];

    fs.FailAt(Fault::ReadBeyondEnd, 2);
    auto in = fs.OpenRead(a);
    EXPECT_EQ(in->Read(buf, 4), 4u);
    try {
        in->Read(buf, 4);
        ADD_FAILURE() << "the second read did not fail";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
    EXPECT_EQ(in->Read(buf, 4), 4u); // only the k-th fails
    EXPECT_EQ(fs.Count(), 3);
    EXPECT_EQ(fs.Failed(), "Read " + a);

    // A full disk: half of the bytes reach the file, then the write fails.
    fs.FailAt(Fault::DiskFull, 1);
    auto out = fs.Create(b);
    EXPECT_THROW(out->Write("abcdefgh", 8), IoError);
    out->Close();
    EXPECT_EQ(ReadFile(b), "abcd");
    EXPECT_TRUE(fs.FailedLoudly());

    // Not found: an existence test says no, opening raises the runtime's text.
    fs.FailAt(Fault::NotFound, 1);
    EXPECT_FALSE(fs.FileExists(a));
    EXPECT_FALSE(fs.FailedLoudly());
    EXPECT_TRUE(fs.FileExists(a));
    fs.FailAt(Fault::AccessDenied, 2);
    EXPECT_TRUE(fs.FolderExists(dir.Path()));
    try {
        fs.OpenRead(a);
        ADD_FAILURE() << "the open did not fail";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }

    // A refused rename leaves both names as they were.
    fs.FailAt(Fault::RenameRefused, 1);
    EXPECT_THROW(fs.RenameFile(a, dir / "c.txt"), IoError);
    EXPECT_TRUE(dir.Exists("a.txt"));
    EXPECT_FALSE(dir.Exists("c.txt"));
    EXPECT_NO_THROW(fs.RenameFile(a, dir / "c.txt"));

    // Operations of other kinds are neither counted nor failed.
    fs.FailAt(Fault::RenameRefused, 1);
    EXPECT_TRUE(fs.FileExists(dir / "c.txt"));
    EXPECT_EQ(fs.Count(), 0);
}

// A decorator that answered SameObject by comparing texts would let the search walk the list's own
// folder through a link to it: the question goes to the real file system, and is never failed.
TEST(FaultyFileSystem, SameObjectIsAnsweredByTheFileSystemBelow) {
    FaultWorld w;
    const std::string link = w.dir / "link-to-set";
    ASSERT_EQ(::symlink(w.set.c_str(), link.c_str()), 0);
    w.fs.FailAt(Fault::NotFound, 1);
    EXPECT_TRUE(w.fs.SameObject(link, w.set));
    EXPECT_EQ(w.fs.Count(), 0);
    w.fs.Off();
    w.form.BaseFolder = w.set;
    EXPECT_TRUE(w.form.SamePlace(link, w.set));
    EXPECT_TRUE(w.form.SamePlace(link + "/", w.set));
}

// The checks of the scenarios fail for a command that loses a file, leaves the hourglass on and
// swallows the error while the outcome changes.
TEST(FaultyFileSystem, TheScenarioChecksCatchABrokenCommand) {
    const Scenario broken{"broken",
                          [](FaultWorld& w) {
                              w.dir.Write("set/a.txt", "A");
                              w.dir.Write("set/b.txt", "B");
                          },
                          [](FaultWorld& w) {
                              w.ui.SetBusyCursor(true);
                              try {
                                  char c;
                                  w.fs.OpenRead(w.set + "/a.txt")->Read(&c, 1);
                                  w.ui.SetBusyCursor(false);
                              } catch (const IoError&) {
                                  RealFs().DeleteFile(w.set + "/b.txt");
                                  w.form.Status.SetCaption("went on as if nothing failed");
                              }
                          },
                          {}};
    const FaultRunResult r = RunAtEveryFailurePoint(broken, Fault::ReadBeyondEnd);
    EXPECT_EQ(r.FailurePoints, 1);
    auto found = [&](const std::string& what) {
        for (const std::string& v : r.Violations)
            if (v.find(what) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(found("the hourglass stayed on"));
    EXPECT_TRUE(found("the content of set/b.txt is gone"));
    EXPECT_TRUE(found("the failure was not reported"));
}

} // namespace
} // namespace tv::test

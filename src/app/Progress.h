#pragma once
// How far long work is: files and bytes done of the total, the rate over the last few seconds and
// the time left. The commands announce their work (Plan, or Explore when its size cannot be known
// ahead, as for a search); the reading loops move it within each file through ByteProgress; the
// throttled ReportProgress samples it; the front ends only render the figures.
#include "core/ByteProgress.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace tv {

struct ProgressFigures {
    std::int64_t FilesDone = 0;
    std::int64_t FilesTotal = -1; // -1: not known (a search); else never below FilesDone
    std::int64_t BytesDone = 0;
    std::int64_t BytesTotal = -1; // -1: not known
    std::int64_t FoldersSeen = 0; // a search: folders walked so far
    std::int64_t FilesSeen = 0;   // a search: files met so far
    double BytesPerSecond = -1;   // over the last few seconds; -1 until a rate is known
    double FilesPerSecond = -1;
    std::int64_t SecondsLeft = -1; // -1 when not known
    // The share done in [0, 1] by bytes (by files for work without bytes); -1 when the totals are unknown.
    double Share() const;
};

class ProgressModel {
public:
    // The rate is taken over this much of the recent past...
    static constexpr std::int64_t RateWindowMs = 3000;
    // ...once the samples span at least this much.
    static constexpr std::int64_t RateMinSpanMs = 500;
    // Work shorter than this shows no bar.
    static constexpr std::int64_t ShowAfterMs = 500;

    // No work: a command ends, or the next one starts.
    void Reset() { *this = ProgressModel(); }
    // `files` files of `bytes` bytes in all (as listed) join the work to do.
    void Plan(std::int64_t files, std::int64_t bytes);
    // Work whose size cannot be known ahead: the totals stay unknown, the figures count what was seen.
    void Explore();
    // A search walked a folder and met `files` files in it.
    void FolderSeen(std::int64_t files);
    // One planned file or step was done without being read (a rename, a move).
    void StepDone() { EndFile(0, 0); }

    // From the reading loops: a file of `listedSize` bytes begins, `bytes` of it were read, it ended.
    // A file that grew moves the total up by what it had more; one that shrank or vanished, down.
    void FileBegun(std::int64_t listedSize);
    void BytesRead(std::int64_t bytes);
    void FileEnded();

    // Records where the work stands at `nowMs` (the form's steady clock): the rate and the time left
    // are taken from these samples.
    void Sample(std::int64_t nowMs);

    // Some work was announced.
    bool Active() const { return active_; }
    // Active, and the command has run long enough (since its first sample) to show it.
    bool Shown() const { return active_ && startMs_ >= 0 && lastMs_ - startMs_ >= ShowAfterMs; }
    ProgressFigures Figures() const;

private:
    struct Point {
        std::int64_t Ms, Bytes, Files;
    };
    void EndFile(std::int64_t listed, std::int64_t read);
    bool active_ = false;
    bool known_ = true; // the totals are known (no Explore)
    std::int64_t filesTotal_ = 0, bytesTotal_ = 0;
    std::int64_t filesDone_ = 0, bytesDone_ = 0;
    std::int64_t foldersSeen_ = 0, filesSeen_ = 0;
    bool inFile_ = false;
    std::int64_t fileListed_ = 0, fileRead_ = 0;
    std::int64_t startMs_ = -1, lastMs_ = -1;
    std::deque<Point> samples_;
};

// Feeds the reading loops' notes into a model and lets the window's pacing run inside a big file. A
// file that fits one block is paced by its caller between files, as before.
class ProgressPacer : public ByteProgressSink {
public:
    ProgressPacer(ProgressModel& model, std::function<void()> pace) : model_(model), pace_(std::move(pace)) {}
    void FileBegun(std::int64_t listedSize) override;
    void BytesRead(std::int64_t bytes) override;
    void FileEnded() override;
    // Each block read waits this long: a slow disk, for watching the progress on a fast one.
    std::int64_t BlockDelayMs = 0;

private:
    ProgressModel& model_;
    std::function<void()> pace_;
    int blocks_ = 0;
};

// "512 B", "12.3 KB", "180 MB", "1.2 GB" (1024-based, one decimal below 100).
std::string FormatBytes(std::int64_t bytes);
// "0:16", "12:05", "1:02:03".
std::string FormatDuration(std::int64_t seconds);
// The figures the window's status bar adds to its text: "1.2 GB / 4.0 GB  180 MB/s  残り 0:16"; for
// work without bytes "12 / 40  残り 0:05"; for a search "フォルダ 12  ファイル 340  1.2 GB  180 MB/s".
std::string StatusFigures(const ProgressFigures& f);
// The command-line tool's line: "3/10 files  1.2 GB / 4.0 GB  30%  180 MB/s  0:16 left"; for a search
// "12 folders  340 files  1.2 GB  180 MB/s".
std::string TerminalFigures(const ProgressFigures& f);

} // namespace tv

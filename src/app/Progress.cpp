#include "app/Progress.h"

#include "app/Language.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <utility>

namespace tv {

double ProgressFigures::Share() const {
    if (FilesTotal < 0) return -1;
    if (BytesTotal > 0) return std::clamp(static_cast<double>(BytesDone) / static_cast<double>(BytesTotal), 0.0, 1.0);
    if (FilesTotal > 0) return std::clamp(static_cast<double>(FilesDone) / static_cast<double>(FilesTotal), 0.0, 1.0);
    return 0;
}

void ProgressModel::Plan(std::int64_t files, std::int64_t bytes) {
    if (active_ && !known_) {
        // Planned work after a search (the rename that follows it): counted afresh, the bar stays up.
        ProgressModel fresh;
        fresh.startMs_ = startMs_;
        fresh.lastMs_ = lastMs_;
        *this = std::move(fresh);
    }
    active_ = true;
    filesTotal_ += std::max<std::int64_t>(files, 0);
    bytesTotal_ += std::max<std::int64_t>(bytes, 0);
}

void ProgressModel::Explore() {
    active_ = true;
    known_ = false;
}

void ProgressModel::FolderSeen(std::int64_t files) {
    ++foldersSeen_;
    filesSeen_ += std::max<std::int64_t>(files, 0);
}

void ProgressModel::FileBegun(std::int64_t listedSize) {
    if (inFile_) FileEnded(); // a reading loop inside another one: the outer file counts as ended
    inFile_ = true;
    fileListed_ = std::max<std::int64_t>(listedSize, 0);
    fileRead_ = 0;
}

void ProgressModel::BytesRead(std::int64_t bytes) {
    if (bytes <= 0) return;
    fileRead_ += bytes;
    bytesDone_ += bytes;
}

void ProgressModel::FileEnded() {
    if (!inFile_) return;
    inFile_ = false;
    EndFile(fileListed_, fileRead_);
}

void ProgressModel::EndFile(std::int64_t listed, std::int64_t read) {
    ++filesDone_;
    if (!known_) return;
    if (filesDone_ > filesTotal_) {
        // A file no one planned: it joins the work as it was read.
        filesTotal_ = filesDone_;
        bytesTotal_ += read;
    } else {
        // The total held the listed size: it now holds what was read, more for a file that grew, less
        // for one that shrank or vanished.
        bytesTotal_ += read - listed;
    }
    bytesTotal_ = std::max(bytesTotal_, bytesDone_);
}

void ProgressModel::Sample(std::int64_t nowMs) {
    // The command's time counts from its first sample, work announced or not (a load before its
    // verification), so a bar shows half a second into the command, not half a second into the reading.
    if (startMs_ < 0) startMs_ = nowMs;
    lastMs_ = nowMs;
    if (!active_) return;
    if (!samples_.empty() && samples_.back().Ms >= nowMs) samples_.pop_back(); // the clock did not move
    samples_.push_back({nowMs, bytesDone_, filesDone_});
    // One sample at or before the window's start stays, so the window is covered whole.
    while (samples_.size() > 2 && samples_[1].Ms <= nowMs - RateWindowMs)
        samples_.pop_front();
}

ProgressFigures ProgressModel::Figures() const {
    ProgressFigures f;
    f.FilesDone = filesDone_;
    f.BytesDone = bytesDone_;
    f.FoldersSeen = foldersSeen_;
    f.FilesSeen = filesSeen_;
    if (known_) {
        f.FilesTotal = std::max(filesTotal_, filesDone_);
        f.BytesTotal = std::max(bytesTotal_, bytesDone_);
    }
    if (samples_.size() >= 2) {
        const Point &a = samples_.front(), &b = samples_.back();
        const std::int64_t span = b.Ms - a.Ms;
        if (span >= RateMinSpanMs) {
            f.BytesPerSecond = static_cast<double>(b.Bytes - a.Bytes) * 1000.0 / static_cast<double>(span);
            f.FilesPerSecond = static_cast<double>(b.Files - a.Files) * 1000.0 / static_cast<double>(span);
        }
    }
    if (known_) {
        // By bytes when the work has any; else by files (a rename pass). No time while nothing moves.
        const bool byBytes = f.BytesTotal > 0;
        const double left =
            byBytes ? static_cast<double>(f.BytesTotal - f.BytesDone) : static_cast<double>(f.FilesTotal - f.FilesDone);
        const double rate = byBytes ? f.BytesPerSecond : f.FilesPerSecond;
        if (rate > 0) f.SecondsLeft = static_cast<std::int64_t>(std::ceil(std::max(left, 0.0) / rate));
    }
    return f;
}

void ProgressPacer::FileBegun(std::int64_t listedSize) {
    blocks_ = 0;
    model_.FileBegun(listedSize);
}

void ProgressPacer::BytesRead(std::int64_t bytes) {
    model_.BytesRead(bytes);
    if (BlockDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(BlockDelayMs));
    if (++blocks_ > 1 && pace_) pace_();
}

void ProgressPacer::FileEnded() {
    model_.FileEnded();
}

std::string FormatBytes(std::int64_t bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    if (bytes < 1024) return std::to_string(std::max<std::int64_t>(bytes, 0)) + " B";
    double v = static_cast<double>(bytes);
    std::size_t u = 0;
    while (v >= 1024.0 && u + 1 < std::size(units)) {
        v /= 1024.0;
        ++u;
    }
    char text[32];
    // Rounded as printed: 99.96 KB shows as "100 KB", not "100.0 KB".
    if (std::round(v * 10.0) / 10.0 < 100.0)
        std::snprintf(text, sizeof text, "%.1f %s", v, units[u]);
    else
        std::snprintf(text, sizeof text, "%.0f %s", v, units[u]);
    return text;
}

std::string FormatDuration(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    return text;
}

namespace {

std::string Rate(const ProgressFigures& f) {
    return f.BytesPerSecond >= 0 ? FormatBytes(static_cast<std::int64_t>(f.BytesPerSecond)) + "/s" : std::string();
}

void Join(std::string& to, const std::string& part) {
    if (part.empty()) return;
    if (!to.empty()) to += "  ";
    to += part;
}

} // namespace

std::string StatusFigures(const ProgressFigures& f) {
    std::string s;
    if (f.FilesTotal < 0) {
        Join(s, "フォルダ " + std::to_string(f.FoldersSeen));
        Join(s, "ファイル " + std::to_string(f.FilesSeen));
        if (f.BytesDone > 0) Join(s, FormatBytes(f.BytesDone));
    } else if (f.BytesTotal > 0) {
        Join(s, FormatBytes(f.BytesDone) + " / " + FormatBytes(f.BytesTotal));
    } else {
        Join(s, std::to_string(f.FilesDone) + " / " + std::to_string(f.FilesTotal));
    }
    if (f.BytesDone > 0) Join(s, Rate(f));
    if (f.SecondsLeft >= 0) Join(s, "残り " + FormatDuration(f.SecondsLeft));
    return s;
}

std::string TerminalFigures(const ProgressFigures& f) {
    // The command line's words, in its language.
    auto say = [](std::string_view japanese, std::initializer_list<std::string_view> values) {
        return FillPlaceholders(TrIn(SentenceLanguage(), japanese), values);
    };
    std::string s;
    if (f.FilesTotal < 0) {
        Join(s, say("フォルダ %1", {std::to_string(f.FoldersSeen)}));
        Join(s, say("ファイル %1", {std::to_string(f.FilesSeen)}));
        if (f.BytesDone > 0) Join(s, FormatBytes(f.BytesDone));
    } else {
        Join(s, say("ファイル %1/%2", {std::to_string(f.FilesDone), std::to_string(f.FilesTotal)}));
        if (f.BytesTotal > 0) Join(s, FormatBytes(f.BytesDone) + " / " + FormatBytes(f.BytesTotal));
        // Whole percents counted down, so 100% means done.
        const bool byBytes = f.BytesTotal > 0;
        const std::int64_t done = byBytes ? f.BytesDone : f.FilesDone, total = byBytes ? f.BytesTotal : f.FilesTotal;
        Join(s, std::to_string(total > 0 ? std::min<std::int64_t>(done, total) * 100 / total : 0) + "%");
    }
    if (f.BytesDone > 0) Join(s, Rate(f));
    if (f.SecondsLeft >= 0) Join(s, say("残り %1", {FormatDuration(f.SecondsLeft)}));
    return s;
}

} // namespace tv

// --threads and --disk: how many threads hash and how the disks are read, the same for every command.
#include "CliCommon.h"

#include <algorithm>
#include <charconv>

namespace tv::cli {

namespace {
HashWorkers chosen;
} // namespace

bool TakeWorkerOptions(std::vector<std::string>& args) {
    std::vector<std::string> rest;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a != "--threads" && a != "--disk") {
            rest.push_back(a);
            continue;
        }
        if (k + 1 >= args.size()) return false;
        const std::string& value = args[++k];
        if (a == "--threads") {
            int n = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (error != std::errc() || end != value.data() + value.size() || n < 1) return false;
            chosen.Threads = std::min(n, HashWorkers::MaxThreads);
        } else if (value == "auto") {
            chosen.Disk = DiskChoice::Auto;
        } else if (value == "hdd") {
            chosen.Disk = DiskChoice::Hdd;
        } else if (value == "ssd") {
            chosen.Disk = DiskChoice::Ssd;
        } else {
            return false;
        }
    }
    args = std::move(rest);
    return true;
}

unsigned WorkerThreads() {
    return static_cast<unsigned>(std::max(chosen.Threads, 0));
}

DiskChoice WorkerDisk() {
    return chosen.Disk;
}

void UseWorkerOptions(TForm1& form) {
    form.Hashing.Threads = chosen.Threads;
    form.Hashing.Disk = chosen.Disk;
}

} // namespace tv::cli

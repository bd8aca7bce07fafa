// Which disk a device number stands for, against sysfs trees laid out as the kernel lays them out:
// partitions under their disk, device-mapper and md devices with their "slaves", loop devices with their
// backing file, NVMe names.
#include "platform/Disks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace tv::test {
namespace {

namespace fs = std::filesystem;

// A sysfs tree in a temporary folder: block devices under devices/, each with a queue/rotational unless
// told otherwise, and the dev/block/MAJ:MIN links that lead to them.
class FakeSys {
public:
    std::string Root() const { return dir_ / "sys"; }
    // A disk (or a virtual device) at `place` under devices/, "" for no rotational file.
    void Disk(const std::string& place, const std::string& rotational) {
        dir_.MakeFolder("sys/devices/" + place);
        if (!rotational.empty()) dir_.Write("sys/devices/" + place + "/queue/rotational", rotational + "\n");
    }
    void Partition(const std::string& place) { dir_.Write("sys/devices/" + place + "/partition", "1\n"); }
    // `place` stands on `beneath`, as a dm or md device lists the devices it is made of.
    void Slave(const std::string& place, const std::string& name, const std::string& beneath) {
        dir_.MakeFolder("sys/devices/" + place + "/slaves");
        fs::create_directory_symlink(PathOf(dir_ / ("sys/devices/" + beneath)),
                                     PathOf(dir_ / ("sys/devices/" + place + "/slaves/" + name)));
    }
    void Number(const std::string& majorMinor, const std::string& place) {
        dir_.MakeFolder("sys/dev/block");
        fs::create_directory_symlink(PathOf("../../devices/" + place), PathOf(dir_ / ("sys/dev/block/" + majorMinor)));
    }
    void Backing(const std::string& place, const std::string& file) {
        dir_.Write("sys/devices/" + place + "/loop/backing_file", file + "\n");
    }

private:
    TempDir dir_;
};

TEST(SysfsDisks, ResolvesPartitionsStacksLoopsAndNvme) {
    FakeSys sys;
    sys.Disk("pci0/ata1/block/sda", "1"); // a rotational SATA disk
    sys.Partition("pci0/ata1/block/sda/sda1");
    sys.Partition("pci0/ata1/block/sda/sda2");
    sys.Disk("pci0/ata2/block/sdb", "1");
    sys.Partition("pci0/ata2/block/sdb/sdb1");
    sys.Disk("pci0/nvme/nvme0/nvme0n1", "0");
    sys.Partition("pci0/nvme/nvme0/nvme0n1/nvme0n1p1");
    sys.Partition("pci0/nvme/nvme0/nvme0n1/nvme0n1p2");
    // dm over an NVMe partition: its own queue says spinning, as dm queues of any disk may.
    sys.Disk("virtual/block/dm-0", "1");
    sys.Slave("virtual/block/dm-0", "nvme0n1p2", "pci0/nvme/nvme0/nvme0n1/nvme0n1p2");
    // md over two SATA partitions, one of them spinning: the array is read as spinning.
    sys.Disk("virtual/block/md0", "0");
    sys.Slave("virtual/block/md0", "sda2", "pci0/ata1/block/sda/sda2");
    sys.Slave("virtual/block/md0", "nvme0n1p1", "pci0/nvme/nvme0/nvme0n1/nvme0n1p1");
    // md over two NVMe partitions.
    sys.Disk("virtual/block/md1", "1");
    sys.Slave("virtual/block/md1", "nvme0n1p1", "pci0/nvme/nvme0/nvme0n1/nvme0n1p1");
    sys.Slave("virtual/block/md1", "nvme0n1p2", "pci0/nvme/nvme0/nvme0n1/nvme0n1p2");
    // dm over md over NVMe.
    sys.Disk("virtual/block/dm-1", "1");
    sys.Slave("virtual/block/dm-1", "md1", "virtual/block/md1");
    // Loop devices: one backed by a file on the NVMe disk, one by a file on the spinning one, one whose
    // file's disk is not known, one without a backing file.
    sys.Disk("virtual/block/loop0", "1");
    sys.Backing("virtual/block/loop0", "/images/fast.img");
    sys.Disk("virtual/block/loop1", "0");
    sys.Backing("virtual/block/loop1", "/images/slow.img");
    sys.Disk("virtual/block/loop2", "0");
    sys.Backing("virtual/block/loop2", "/images/gone.img");
    sys.Disk("virtual/block/loop3", "0");
    // A device without a queue.
    sys.Disk("virtual/block/odd", "");
    const std::map<std::string, std::string> numbers = {
        {"8:0", "pci0/ata1/block/sda"},
        {"8:1", "pci0/ata1/block/sda/sda1"},
        {"8:17", "pci0/ata2/block/sdb/sdb1"},
        {"259:0", "pci0/nvme/nvme0/nvme0n1"},
        {"259:1", "pci0/nvme/nvme0/nvme0n1/nvme0n1p1"},
        {"259:2", "pci0/nvme/nvme0/nvme0n1/nvme0n1p2"},
        {"253:0", "virtual/block/dm-0"},
        {"253:1", "virtual/block/dm-1"},
        {"9:0", "virtual/block/md0"},
        {"9:1", "virtual/block/md1"},
        {"7:0", "virtual/block/loop0"},
        {"7:1", "virtual/block/loop1"},
        {"7:2", "virtual/block/loop2"},
        {"7:3", "virtual/block/loop3"},
        {"250:0", "virtual/block/odd"},
    };
    for (const auto& [number, place] : numbers)
        sys.Number(number, place);
    const SysfsDisks disks(sys.Root(), [](const std::string& file) -> std::optional<std::string> {
        if (file == "/images/fast.img") return "259:2";
        if (file == "/images/slow.img") return "8:1";
        return std::nullopt;
    });

    const std::optional<DiskKind> spinning = DiskKind::Spinning, solid = DiskKind::Solid, unknown;
    const struct {
        const char* Number;
        std::optional<DiskKind> Kind;
    } cases[] = {
        {"8:0", spinning},  {"8:1", spinning}, {"8:17", spinning}, {"259:0", solid},  {"259:1", solid},
        {"259:2", solid},   {"253:0", solid},  {"9:0", spinning},  {"9:1", solid},    {"253:1", solid},
        {"7:0", solid},     {"7:1", spinning}, {"7:2", unknown},   {"7:3", solid},    {"250:0", unknown},
        {"1:99", unknown}, // no such device
    };
    for (const auto& c : cases)
        EXPECT_EQ(disks.KindOf(c.Number), c.Kind) << c.Number;
}

TEST(SysfsDisks, ALoopOfLinksEndsUnknown) {
    FakeSys sys;
    sys.Disk("virtual/block/dm-0", "0");
    sys.Disk("virtual/block/dm-1", "0");
    sys.Slave("virtual/block/dm-0", "dm-1", "virtual/block/dm-1");
    sys.Slave("virtual/block/dm-1", "dm-0", "virtual/block/dm-0");
    sys.Number("253:0", "virtual/block/dm-0");
    EXPECT_EQ(SysfsDisks(sys.Root()).KindOf("253:0"), std::nullopt);
}

TEST(DiskKindOf, APathThatCannotBeAskedIsSpinning) {
    TempDir dir;
    EXPECT_EQ(DiskKindOf(dir / "no/such/folder"), DiskKind::Spinning);
}

} // namespace
} // namespace tv::test

#pragma once
// Finding the packets of a PAR 2.0 set in the bytes of its files, and putting a set together from them.
// Packets are found by their magic, not by following one another: damage that shifts the data loses
// only the packets it hits. A packet counts only when its length fits the file and its MD5 holds; any
// good copy of a packet serves (every file of a set repeats the descriptions).
#include "readers/Par2Packets.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tv::par2 {

// Bytes read by their place. Reads ask for places mostly in order; a read past the end gives fewer bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() = 0;
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

private:
    std::span<const std::uint8_t> bytes_;
};

// A packet whose MD5 holds, as the scan hands it over: the header and the body, whole for the types a
// set is built from (Main, FileDesc, IFSC, UniFileN, Creator), else its first bytes only (a recovery
// slice's exponent; its data is checked, not kept).
using PacketSink = std::function<void(const PacketHeader& header, std::span<const std::uint8_t> body)>;

// Scans every byte of `source` for packets; returns how many candidates were passed over (a magic whose
// length does not fit or whose MD5 fails). A body kept whole is at most `keptLimit` bytes: a longer one
// of those types is passed over, so a hostile length never allocates more than that.
std::size_t ScanPackets(ByteSource& source, const PacketSink& sink, std::size_t keptLimit = 64u << 20);

// One file of the set, as described by the packets.
struct SetFile {
    Md5Bytes Id{};
    bool Recovery = false; // in the recovery set: its slices feed the recovery data
    std::optional<FileDescPacket> Desc;
    std::optional<std::string> UnicodeName; // from a UniFileN packet, in UTF-8
    std::vector<SliceCheck> Slices;         // from its IFSC packet, when one was read whose count fits
    bool HasSlices = false;
};

// What the packets of a set's files said.
struct SetPackets {
    std::optional<MainPacket> Main;
    Md5Bytes SetId{};
    std::vector<SetFile> Files;                // in the Main packet's order, recovery files first
    std::set<std::uint32_t> RecoveryExponents; // distinct recovery slices found whole, of the slice size
    std::string Creator;                       // the first creator's text met
    std::size_t PassedOver = 0;                // damaged or cut-short packets
    // The input slices of the recovery set (0 without a Main packet).
    std::uint64_t InputSlices() const;
    // Files of the Main packet that no good description names.
    std::size_t Undescribed() const;
};

// Collects the packets of several files and settles the set: the set of the first good Main packet of
// the first file that has one (the list file is read first); packets of other sets are left out.
class SetBuilder {
public:
    // Reads one file of the set.
    void Read(ByteSource& source);
    // The set as far as the files read tell it.
    SetPackets Finish() const;

private:
    struct ById {
        std::optional<MainPacket> Main;
        std::map<Md5Bytes, FileDescPacket> Descs;
        std::map<Md5Bytes, IfscPacket> Ifsc; // the first good copy
        std::map<Md5Bytes, std::string> Names;
        std::map<std::uint32_t, std::uint64_t> Exponents; // of each good recovery slice: its data's bytes
        std::string Creator;
    };
    std::map<Md5Bytes, ById> sets_;
    std::optional<Md5Bytes> chosen_;
    std::string anyCreator_;
    std::size_t passedOver_ = 0;
};

} // namespace tv::par2

// Random bytes as the files of a PAR2 set: the packet scan and the set built from it must not crash,
// hang or allocate beyond the input, must give the same set twice, and what they hand over must fit
// the bytes it came from.
#include "readers/Par2List.h"
#include "readers/Par2Reader.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

using namespace tv;

void Check(bool ok) {
    if (!ok) std::abort();
}

bool KeptWhole(const par2::PacketType& t) {
    return t == par2::MainType || t == par2::FileDescType || t == par2::IfscType || t == par2::UniFileNameType ||
           t == par2::CreatorType;
}

bool SameSet(const par2::SetPackets& a, const par2::SetPackets& b) {
    if (a.Main.has_value() != b.Main.has_value() || a.Files.size() != b.Files.size() || a.Creator != b.Creator ||
        a.RecoveryExponents != b.RecoveryExponents || a.PassedOver != b.PassedOver)
        return false;
    for (std::size_t k = 0; k < a.Files.size(); ++k)
        if (a.Files[k].Id != b.Files[k].Id || a.Files[k].Desc.has_value() != b.Files[k].Desc.has_value() ||
            a.Files[k].Slices.size() != b.Files[k].Slices.size())
            return false;
    return true;
}

par2::SetPackets Build(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
    par2::SetBuilder builder;
    par2::MemorySource a(first), b(second);
    builder.Read(a);
    builder.Read(b);
    return builder.Finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    par2::MemorySource source(bytes);
    // A small limit for kept bodies, so that the fuzzer meets the limit too.
    par2::ScanPackets(
        source,
        [&](const par2::PacketHeader& h, std::span<const std::uint8_t> body) {
            Check(h.Length >= par2::HeaderBytes && h.Length % 4 == 0 && h.Length <= size);
            if (KeptWhole(h.Type))
                Check(body.size() == h.Length - par2::HeaderBytes && body.size() <= 4096);
            else
                Check(body.size() <= 64);
        },
        4096);

    // The input as two files of one set, split where its first byte says.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    const par2::SetPackets set = Build(bytes.first(cut), bytes.subspan(cut));
    Check(SameSet(set, Build(bytes.first(cut), bytes.subspan(cut))));
    for (const par2::SetFile& f : set.Files) {
        Check(set.Main.has_value());
        if (f.HasSlices) Check(f.Slices.size() == par2::SliceCount(f.Desc->Length, set.Main->SliceSize));
        if (f.Desc) (void)Par2NameRefusal(f.Desc->Name);
    }
    return 0;
}

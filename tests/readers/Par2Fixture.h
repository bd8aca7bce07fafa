#pragma once
// Makes PAR2 index files from file contents with the packet makers of readers/Par2Packets.h, so that
// the reader is met with sets whose every packet a test can damage, drop, repeat or shift.
#include "core/Crc32.h"
#include "platform/Hashing.h"
#include "readers/Par2Packets.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace tv::test {

struct Par2FileSpec {
    std::string Name;
    std::string Content;
    bool Recovery = true;
};

inline par2::Md5Bytes Md5Bytes(std::string_view bytes) {
    const ContentKey k = DigestOf(HashAlgorithm::Md5, bytes.data(), bytes.size());
    par2::Md5Bytes m;
    std::memcpy(m.data(), k.Bytes.data(), m.size());
    return m;
}

struct Par2Made {
    par2::Md5Bytes SetId{};
    std::vector<std::vector<std::uint8_t>> Packets; // Main, then per file FileDesc and IFSC, then Creator

    std::string Bytes() const {
        std::string out;
        for (const auto& p : Packets)
            out.append(reinterpret_cast<const char*>(p.data()), p.size());
        return out;
    }
};

inline par2::FileDescPacket DescOf(const Par2FileSpec& f) {
    par2::FileDescPacket d;
    d.Hash = Md5Bytes(f.Content);
    d.Hash16k = Md5Bytes(std::string_view(f.Content).substr(0, par2::Hash16kBytes));
    d.Length = f.Content.size();
    d.Name = f.Name;
    d.FileId = par2::FileIdOf(d.Hash16k, d.Length, d.Name);
    return d;
}

inline Par2Made MakePar2(const std::vector<Par2FileSpec>& files, std::uint64_t sliceSize) {
    Par2Made made;
    par2::MainPacket main;
    main.SliceSize = sliceSize;
    std::vector<par2::FileDescPacket> descs;
    for (const Par2FileSpec& f : files) {
        descs.push_back(DescOf(f));
        (f.Recovery ? main.RecoveryFiles : main.NonRecoveryFiles).push_back(descs.back().FileId);
    }
    std::sort(main.RecoveryFiles.begin(), main.RecoveryFiles.end());
    std::sort(main.NonRecoveryFiles.begin(), main.NonRecoveryFiles.end());
    made.SetId = par2::SetIdOf(main);
    made.Packets.push_back(par2::MakePacket(made.SetId, par2::MainType, par2::MainBody(main)));
    for (std::size_t k = 0; k < files.size(); ++k) {
        made.Packets.push_back(par2::MakePacket(made.SetId, par2::FileDescType, par2::FileDescBody(descs[k])));
        par2::IfscPacket ifsc;
        ifsc.FileId = descs[k].FileId;
        for (std::uint64_t at = 0; at < files[k].Content.size(); at += sliceSize) {
            std::string slice = files[k].Content.substr(at, sliceSize);
            slice.resize(sliceSize, '\0');
            ifsc.Slices.push_back({Md5Bytes(slice), Crc32(slice.data(), slice.size())});
        }
        made.Packets.push_back(par2::MakePacket(made.SetId, par2::IfscType, par2::IfscBody(ifsc)));
    }
    made.Packets.push_back(par2::MakePacket(made.SetId, par2::CreatorType, par2::CreatorBody("Test maker 1.0")));
    return made;
}

// A recovery slice packet of `sliceSize` bytes (its data is not the code's: the reader only counts them).
inline std::vector<std::uint8_t> RecoveryPacket(const par2::Md5Bytes& setId, std::uint32_t exponent,
                                                std::uint64_t sliceSize) {
    std::vector<std::uint8_t> body;
    par2::PutLe32(body, exponent);
    body.resize(4 + sliceSize, 0x5A);
    return par2::MakePacket(setId, par2::RecvSlicType, body);
}

inline std::string AsText(const std::vector<std::uint8_t>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size());
}

} // namespace tv::test

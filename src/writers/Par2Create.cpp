#include "writers/Par2Create.h"

#include "core/Crc32.h"
#include "core/Gf16.h"
#include "core/HashPool.h"
#include "core/Md5Lanes.h"
#include "core/ReedSolomon.h"
#include "platform/BuildInfo.h"
#include "platform/Disks.h"
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "platform/Paths.h"
#include "platform/ReadFull.h"
#include "platform/ReplacingFile.h"
#include "readers/Par2Packets.h"
#include "repair/Confine.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>

namespace tv {

namespace {
// The most volume files held open at once while a set is written, so that they take their names together.
constexpr std::size_t MaxHeldVolumes = 64;
} // namespace

namespace {

using par2::Md5Bytes;

// Slices whose MD5s are computed side by side: the widest kernel's lanes; and files read side by side.
constexpr std::size_t CheckGroup = 16;
constexpr std::size_t ReadLanes = 16;

struct Source {
    std::string Path;
    std::string Name; // relative to the index's folder, "/"-separated
    std::uint64_t Length = 0;
    Md5Bytes Hash16k{}, Hash{}, Id{};
    std::vector<par2::SliceCheck> Slices;
};

Md5Bytes Md5Of(const ContentKey& k) {
    Md5Bytes m;
    std::memcpy(m.data(), k.Bytes.data(), m.size());
    return m;
}

// File IDs are ordered as 16-byte little-endian numbers: the last byte weighs most.
bool IdBefore(const Md5Bytes& a, const Md5Bytes& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

// The set's own files beside the index: the index itself and NAME.vol*.par2.
bool IsOwnFile(const std::string& name, const std::string& indexName) {
    if (SameFileName(name, indexName)) return true;
    const std::string base = indexName.substr(0, indexName.size() - 5); // without ".par2"
    return name.size() > base.size() + 9 && SameFileName(name.substr(0, base.size() + 4), base + ".vol") &&
           SameText(name.substr(name.size() - 5), ".par2");
}

void Collect(FileSystem& fs, const std::string& path, const std::string& prefix, bool recursive,
             const std::string& indexName, bool indexFolder, std::vector<Source>& out,
             std::vector<std::string>& unnamable) {
    std::vector<FolderEntry> entries = fs.ListFolder(path);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.Name < b.Name; });
    for (const FolderEntry& e : entries) {
        if (e.IsHidden || e.IsLink || e.IsSpecial) continue;
        if (PathDelim != '\\' && e.Name.find('\\') != std::string::npos) {
            unnamable.push_back(prefix + e.Name);
            continue;
        }
        if (e.IsFolder) {
            if (recursive)
                Collect(fs, JoinPath(path, e.Name), prefix + e.Name + "/", true, indexName, false, out, unnamable);
            continue;
        }
        if (indexFolder && IsOwnFile(e.Name, indexName)) continue;
        Source s;
        s.Path = JoinPath(path, e.Name);
        s.Name = prefix + e.Name;
        s.Length = static_cast<std::uint64_t>(e.Size);
        out.push_back(std::move(s));
    }
}

// The files named by the caller, as the folder holds them now; the set's own files are never among them.
void Given(FileSystem& fs, const std::string& folder, const std::string& prefix, const std::vector<std::string>& names,
           const std::string& indexName, bool indexFolder, std::vector<Source>& out) {
    for (const std::string& name : names) {
        std::string slashed = name;
        if (PathDelim == '\\')
            std::replace(slashed.begin(), slashed.end(), '\\', '/');
        else if (name.find('\\') != std::string::npos)
            throw Par2CreateError(name + ": a set's reader takes its \"\\\" for a folder separator");
        if (indexFolder && slashed.find('/') == std::string::npos && IsOwnFile(slashed, indexName)) continue;
        Source s;
        s.Path = FolderFile(folder, name);
        s.Name = prefix + slashed;
        s.Length = static_cast<std::uint64_t>(fs.FileLength(s.Path));
        out.push_back(std::move(s));
    }
}

std::string Digits(std::uint32_t n) { return std::to_string(n); }

std::string Padded(std::uint32_t n, std::size_t width) {
    std::string s = std::to_string(n);
    return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

void Append(std::string& out, const std::vector<std::uint8_t>& packet) {
    out.append(reinterpret_cast<const char*>(packet.data()), packet.size());
}

} // namespace

std::uint64_t ChooseSliceSize(const std::vector<std::uint64_t>& lengths, std::uint32_t count) {
    std::uint64_t longest = 0, files = 0;
    for (std::uint64_t n : lengths) {
        longest = std::max(longest, n);
        files += n > 0 ? 1 : 0;
    }
    const std::uint64_t limit = std::max<std::uint64_t>(count, files);
    auto slices = [&](std::uint64_t size) {
        std::uint64_t total = 0;
        for (std::uint64_t n : lengths)
            total += par2::SliceCount(n, size);
        return total;
    };
    // The count only falls as the size grows: the smallest size that fits, by halving the range.
    std::uint64_t low = 1, high = std::max<std::uint64_t>(1, (longest + 3) / 4); // in units of 4 bytes
    while (low < high) {
        const std::uint64_t mid = low + (high - low) / 2;
        if (slices(mid * 4) <= limit)
            high = mid;
        else
            low = mid + 1;
    }
    return low * 4;
}

std::vector<std::uint32_t> VolumeSizes(std::uint32_t recovery, unsigned volumes) {
    std::vector<std::uint32_t> sizes;
    if (recovery == 0) return sizes;
    if (volumes == 0) {
        std::uint32_t left = recovery;
        for (std::uint32_t size = 1; left > 0; size = size < (1u << 30) ? size * 2 : size) {
            sizes.push_back(std::min(size, left));
            left -= sizes.back();
        }
        return sizes;
    }
    const std::uint32_t n = std::min<std::uint32_t>(volumes, recovery);
    for (std::uint32_t i = 0; i < n; ++i)
        sizes.push_back(recovery / n + (i < recovery % n ? 1 : 0));
    return sizes;
}

std::string VolumeName(const std::string& indexPath, std::uint32_t first, std::uint32_t count,
                       std::uint32_t recovery, std::uint32_t largest) {
    const std::string base = indexPath.substr(0, indexPath.size() - 5);
    return base + ".vol" + Padded(first, Digits(recovery).size()) + "+" + Padded(count, Digits(largest).size()) +
           ".par2";
}

Par2CreateResult CreatePar2Set(FileSystem& fs, const std::string& folder, const std::string& indexPath,
                               const Par2CreateOptions& options) {
    if (indexPath.size() < 5 || !SameText(indexPath.substr(indexPath.size() - 5), ".par2"))
        throw Par2CreateError("the set's name must end in .par2");
    const std::string indexDir = ExtractFileDir(indexPath);
    const std::string indexName = ExtractFileName(indexPath);
    std::string prefix;
    const bool sameFolder = fs.SameObject(indexDir, folder);
    if (!sameFolder) {
        const std::optional<std::string> rel = RelativeBeneath(indexDir, folder);
        if (!rel) throw Par2CreateError("the set names its files relative to its own folder: " + folder +
                                        " is not in " + indexDir);
        if (!rel->empty()) prefix = *rel + "/";
    }
    if (options.SliceSize % 4 != 0) throw Par2CreateError("the block size must be a multiple of 4 bytes");

    Par2CreateResult result;
    std::vector<Source> all, sources;
    if (options.Files.empty())
        Collect(fs, folder, prefix, options.Recursive, indexName, sameFolder || prefix.empty(), all, result.Unnamable);
    else
        Given(fs, folder, prefix, options.Files, indexName, sameFolder || prefix.empty(), all);
    std::vector<std::uint64_t> lengths;
    for (Source& s : all) {
        if (s.Length == 0) {
            result.LeftOut.push_back(s.Name);
            continue;
        }
        lengths.push_back(s.Length);
        sources.push_back(std::move(s));
    }
    if (sources.empty()) throw Par2CreateError("there are no files with content to protect in " + folder);

    const std::uint64_t sliceSize = options.SliceSize != 0 ? options.SliceSize : ChooseSliceSize(lengths, 2000);
    std::uint64_t inputSlices = 0, total = 0;
    for (std::uint64_t n : lengths) {
        inputSlices += par2::SliceCount(n, sliceSize);
        total += n;
    }
    if (inputSlices > par2::MaxInputSlices)
        throw Par2CreateError("the files make " + std::to_string(inputSlices) + " blocks of " +
                              std::to_string(sliceSize) + " bytes; a set holds at most 32768: choose a larger "
                              "block size");
    const std::uint64_t recoveryWanted = (inputSlices * options.Redundancy + 99) / 100;
    if (recoveryWanted > 65535) throw Par2CreateError("a set holds at most 65535 recovery blocks");
    const auto recovery = static_cast<std::uint32_t>(recoveryWanted);
    // The recovery slices are held in memory while the files are read.
    if (recoveryWanted * sliceSize > MaxRecoveryBytes)
        throw Par2CreateError("the recovery data would be " + std::to_string(recoveryWanted * sliceSize >> 20) +
                              " MiB, more than the " + std::to_string(MaxRecoveryBytes >> 20) +
                              " MiB held at once: choose a lower redundancy or protect the folder in parts");
    result.SliceSize = sliceSize;
    result.InputSlices = static_cast<std::uint32_t>(inputSlices);
    result.RecoverySlices = recovery;

    // The File IDs come from the first 16 KiB, and they order the input slices: a short read of each file
    // first. Whether those reads waited for the disk tells how the files are best read.
    const std::optional<std::uint64_t> waitedBefore = WaitedReadsOfThisThread();
    std::vector<unsigned char> head(par2::Hash16kBytes);
    for (Source& s : sources) {
        std::unique_ptr<InputFile> in = fs.OpenRead(s.Path);
        const std::size_t n = ReadFull(*in, head.data(), static_cast<std::size_t>(std::min<std::uint64_t>(s.Length, head.size())));
        s.Hash16k = Md5Of(DigestOf(HashAlgorithm::Md5, head.data(), n));
        s.Id = par2::FileIdOf(s.Hash16k, s.Length, s.Name);
    }
    std::sort(sources.begin(), sources.end(), [](const Source& a, const Source& b) { return IdBefore(a.Id, b.Id); });
    const std::optional<std::uint64_t> waitedAfter = WaitedReadsOfThisThread();
    // A disk's own reads wait at nearly every file's start; the page cache's now and then (read-ahead
    // marks make a read that would start more of it wait).
    const bool cached = waitedBefore && waitedAfter && (*waitedAfter - *waitedBefore) * 2 < sources.size();

    const auto slice = static_cast<std::size_t>(sliceSize);
    SliceCombiner combiner(recovery, slice, options.Workers);
    // The files are read side by side, a slice of each in turn, so that their whole MD5s are computed
    // together on the workers, a file a lane. A spinning disk is read one file at a time, unless the
    // files' starts just came from the page cache, and so are the files where MD5 has no lanes: each
    // one's whole MD5 is then computed here as it is read. The slices' order in a batch does not matter
    // to the code: each is added with the coefficients of its own number.
    const DiskKind disk = options.Disk == DiskChoice::Hdd   ? DiskKind::Spinning
                          : options.Disk == DiskChoice::Ssd ? DiskKind::Solid
                                                            : DiskKindOf(folder);
    const bool sideBySide = ((cached && options.Disk != DiskChoice::Hdd) || disk != DiskKind::Spinning) &&
                            ActiveMd5LanesKernel() != Md5LanesKernel::Portable;
    const std::size_t lanes = sideBySide ? std::min(ReadLanes, sources.size()) : 1;
    Md5Streams wholes(sideBySide ? lanes : 0);
    // Two batches of input slices take turns: while one is hashed (its slices and its part of the whole
    // files) and added to every recovery slice on the workers, the next one is read here.
    const std::size_t batchSlices = std::clamp<std::size_t>((std::size_t{32} << 20) / slice, 1, 32);
    struct Batch {
        std::vector<unsigned char> Data;
        std::vector<const unsigned char*> Inputs;
        std::vector<par2::SliceCheck*> Checks;
        std::vector<std::uint32_t> Numbers;
        std::vector<std::vector<Md5Streams::Piece>> Wholes; // a lane's pieces of its files, in order
        std::vector<std::uint16_t> Coefficients;
    };
    Batch batches[2];
    for (Batch& b : batches) {
        b.Data.resize(batchSlices * slice);
        b.Wholes.resize(lanes);
    }
    int filling = 0;
    std::future<void> pending;
    auto wait = [&] {
        if (pending.valid()) pending.get();
    };
    auto flush = [&] {
        Batch& b = batches[filling];
        if (b.Inputs.empty()) return;
        wait(); // the other batch's turn
        pending = std::async(std::launch::async, [&b, &combiner, &wholes, recovery] {
            const std::size_t n = b.Inputs.size();
            b.Coefficients.resize(std::size_t{recovery} * n);
            for (std::size_t g = 0; g < n; ++g) {
                const std::uint16_t c = gf16::InputConstant(b.Numbers[g]);
                for (std::uint32_t e = 0; e < recovery; ++e)
                    b.Coefficients[e * n + g] = gf16::Pow(c, e);
            }
            // The whole files' MD5s and the checks of the slices come first, a group of slices hashed side
            // by side at a time, so that the pieces of the code, shorter and more, even out the threads'
            // ends. The batches take their turns in order, and with them the whole files' bytes.
            const std::size_t bytes = combiner.SliceBytes();
            const std::size_t groups = (n + CheckGroup - 1) / CheckGroup;
            auto item = [&](std::size_t k) {
                if (k == 0) {
                    if (wholes.Streams() > 0) wholes.Run(b.Wholes.data(), b.Wholes.size());
                } else if (k <= groups) {
                    const std::size_t first = (k - 1) * CheckGroup, count = std::min(CheckGroup, n - first);
                    Md5Digest hashes[CheckGroup];
                    Md5Many(b.Inputs.data() + first, count, bytes, hashes);
                    for (std::size_t i = 0; i < count; ++i) {
                        b.Checks[first + i]->Hash = hashes[i];
                        b.Checks[first + i]->Crc = Crc32(b.Inputs[first + i], bytes);
                    }
                } else {
                    combiner.AddPart(k - 1 - groups, b.Inputs, b.Coefficients);
                }
            };
            const std::size_t items = 1 + groups + combiner.Parts();
            if (HashPool* pool = combiner.Pool()) {
                pool->ForEach(items, item);
            } else {
                for (std::size_t k = 0; k < items; ++k)
                    item(k);
            }
        });
        // The other batch's turn on the workers ended with the wait above: it is free to be filled.
        filling = 1 - filling;
        Batch& f = batches[filling];
        f.Inputs.clear();
        f.Checks.clear();
        f.Numbers.clear();
        for (std::vector<Md5Streams::Piece>& w : f.Wholes)
            w.clear();
    };

    // A lane's file being read: its slices are numbered from First on.
    struct Reading {
        Source* File = nullptr;
        std::unique_ptr<InputFile> In;
        std::unique_ptr<Digester> Whole; // the file's MD5, when computed here
        std::uint64_t Left = 0;
        std::size_t Slice = 0;
        std::uint32_t First = 0;
    };
    std::vector<Reading> reading(lanes);
    std::size_t nextFile = 0;
    std::uint32_t nextNumber = 0;
    auto open = [&](Reading& r) {
        r.In.reset();
        r.File = nullptr;
        if (nextFile == sources.size()) return false;
        Source& s = sources[nextFile++];
        s.Slices.resize(static_cast<std::size_t>(par2::SliceCount(s.Length, sliceSize)));
        r.In = fs.OpenRead(s.Path);
        if (!sideBySide) r.Whole = MakeDigester(HashAlgorithm::Md5);
        r.File = &s;
        r.Left = s.Length;
        r.Slice = 0;
        r.First = nextNumber;
        nextNumber += static_cast<std::uint32_t>(s.Slices.size());
        return true;
    };
    std::uint64_t done = 0;
    try {
        std::size_t active = 0;
        for (Reading& r : reading)
            active += open(r) ? 1u : 0u;
        while (active > 0) {
            for (std::size_t l = 0; l < lanes; ++l) {
                Reading& r = reading[l];
                if (r.File == nullptr) continue;
                if (batches[filling].Inputs.size() == batchSlices) flush();
                Batch& b = batches[filling];
                Source& s = *r.File;
                unsigned char* at = b.Data.data() + b.Inputs.size() * slice;
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(r.Left, slice));
                if (ReadFull(*r.In, at, want) != want) throw Par2CreateError(s.Name + " became shorter while it was read");
                std::memset(at + want, 0, slice - want);
                b.Inputs.push_back(at);
                b.Checks.push_back(&s.Slices[r.Slice]);
                b.Numbers.push_back(r.First + static_cast<std::uint32_t>(r.Slice));
                ++r.Slice;
                r.Left -= want;
                done += want;
                const bool last = r.Slice == s.Slices.size();
                if (last) {
                    unsigned char extra = 0;
                    if (ReadFull(*r.In, &extra, 1) != 0) throw Par2CreateError(s.Name + " grew while it was read");
                }
                if (r.Whole) {
                    r.Whole->Update(at, want);
                    if (last) s.Hash = Md5Of(r.Whole->Final());
                } else {
                    b.Wholes[l].push_back({at, want, last ? &s.Hash : nullptr});
                }
                if (options.Progress && !options.Progress(done, total)) {
                    wait();
                    result.Stopped = true;
                    return result;
                }
                if (last && !open(r)) --active;
            }
        }
        flush();
        wait();
    } catch (...) {
        // The workers hold pointers into the batches: they finish before the batches go.
        if (pending.valid()) pending.wait();
        throw;
    }

    // The descriptions, which every file of the set carries.
    par2::MainPacket main;
    main.SliceSize = sliceSize;
    for (const Source& s : sources)
        main.RecoveryFiles.push_back(s.Id);
    const Md5Bytes setId = par2::SetIdOf(main);
    std::string critical;
    Append(critical, par2::MakePacket(setId, par2::MainType, par2::MainBody(main)));
    for (const Source& s : sources) {
        par2::FileDescPacket desc;
        desc.FileId = s.Id;
        desc.Hash = s.Hash;
        desc.Hash16k = s.Hash16k;
        desc.Length = s.Length;
        desc.Name = s.Name;
        Append(critical, par2::MakePacket(setId, par2::FileDescType, par2::FileDescBody(desc)));
        par2::IfscPacket ifsc;
        ifsc.FileId = s.Id;
        ifsc.Slices = s.Slices;
        Append(critical, par2::MakePacket(setId, par2::IfscType, par2::IfscBody(ifsc)));
    }
    Append(critical, par2::MakePacket(setId, par2::CreatorType,
                                      par2::CreatorBody(std::string("Tallyvault ") + buildinfo::Version)));

    // Every file of the set is written whole beside its name first; they take their names only when all
    // are, the index last: a full disk or a failure on the way leaves no part of a set that looks whole.
    // Each one is held open until then: beyond MaxHeldVolumes volumes (asked for with --volumes), each takes
    // its name as soon as it is written, and a failure removes those this run named.
    const std::vector<std::uint32_t> sizes = VolumeSizes(recovery, options.Volumes);
    const bool together = sizes.size() <= MaxHeldVolumes;
    std::vector<std::string> names{indexPath}, placed;
    auto place = [&](ReplacingFile& file, const std::string& name) {
        const bool fresh = !fs.Identify(name).Exists;
        file.Commit();
        if (fresh) placed.push_back(name);
    };
    auto unplace = [&] {
        for (const std::string& path : placed) {
            try {
                fs.DeleteFile(path);
            } catch (const IoError&) {
            }
        }
    };
    std::vector<std::unique_ptr<ReplacingFile>> files;
    files.push_back(std::make_unique<ReplacingFile>(fs, indexPath));
    files.back()->Write(critical);
    files.back()->Seal();
    const std::uint32_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
    std::uint32_t exponent = 0;
    std::vector<std::uint8_t> body(4 + slice);
    try {
        for (std::uint32_t count : sizes) {
            names.push_back(VolumeName(indexPath, exponent, count, recovery, largest));
            files.push_back(std::make_unique<ReplacingFile>(fs, names.back()));
            ReplacingFile& volume = *files.back();
            for (std::uint32_t i = 0; i < count; ++i, ++exponent) {
                for (int b = 0; b < 4; ++b)
                    body[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(exponent >> (8 * b));
                std::memcpy(body.data() + 4, combiner.Output(exponent), slice);
                std::vector<std::uint8_t> packet = par2::MakePacket(setId, par2::RecvSlicType, body);
                volume.Write(std::string_view(reinterpret_cast<const char*>(packet.data()), packet.size()));
            }
            volume.Write(critical);
            volume.Seal();
            if (!together) {
                place(volume, names.back());
                files.pop_back();
            }
        }
        // The volumes take their names, then the index. A name that cannot be taken undoes the names this
        // run gave to files where there were none; files of an older set it replaced are gone either way.
        for (std::size_t i = 1; i < files.size(); ++i)
            place(*files[i], names[i]);
        place(*files.front(), indexPath);
    } catch (const IoError&) {
        unplace();
        throw;
    }
    result.Written = names;
    return result;
}

} // namespace tv

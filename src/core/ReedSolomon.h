#pragma once
// The Reed-Solomon code of recovery sets over GF(2^16). Input slice i (numbered across the files of the
// recovery set, in the order of their File IDs, and within a file in order) has the constant c_i; the
// recovery slice with exponent e holds, word by word, the sum of c_i^e times input slice i.
//
// Both directions are linear combinations of slices: encoding combines the input slices into recovery
// slices, rebuilding combines the slices that are present into the lost ones. SliceCombiner computes
// such combinations, streamed one batch of input slices at a time, so that only the outputs are held.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tv {

class HashPool;

// The coefficient of input slice `input` in the recovery slice with exponent `exponent`.
std::uint16_t RecoveryCoefficient(std::uint32_t input, std::uint32_t exponent);

// Outputs[j] = sum over the inputs given of Coefficient(j, i) * input i, word by word. The outputs start
// as zeros. Work is shared out by region of the slices among `workers` threads (the caller's one of them;
// 0: as many as the hashing settings give), held by the combiner for its whole life.
class SliceCombiner {
public:
    SliceCombiner(std::size_t outputs, std::size_t sliceBytes, unsigned workers = 0);
    ~SliceCombiner();
    SliceCombiner(const SliceCombiner&) = delete;
    SliceCombiner& operator=(const SliceCombiner&) = delete;
    SliceCombiner(SliceCombiner&&) noexcept;

    // Adds a batch of input slices, each SliceBytes() long: `coefficients` holds, output by output, one
    // coefficient for each input of the batch (outputs x inputs.size(), row by row).
    void Add(std::span<const unsigned char* const> inputs, std::span<const std::uint16_t> coefficients);

    // The same work in Parts() pieces, each over its own bytes of every output, for a caller that runs them
    // among other work on Pool(): AddPart(0) ... AddPart(Parts() - 1), in any order and on any threads,
    // together do what Add does.
    std::size_t Parts() const;
    void AddPart(std::size_t part, std::span<const unsigned char* const> inputs,
                 std::span<const std::uint16_t> coefficients);
    // The threads beside the caller's; none with one worker.
    HashPool* Pool() const { return pool_.get(); }

    std::size_t Outputs() const { return outputs_; }
    std::size_t SliceBytes() const { return sliceBytes_; }
    unsigned char* Output(std::size_t j) { return data_.data() + j * sliceBytes_; }
    const unsigned char* Output(std::size_t j) const { return data_.data() + j * sliceBytes_; }

private:
    std::size_t outputs_, sliceBytes_;
    std::size_t chunkBytes_ = 0; // of each output in one part
    std::unique_ptr<HashPool> pool_;
    std::vector<unsigned char> data_;
};

// How lost input slices are rebuilt: from the present input slices and the chosen recovery slices.
struct RebuildCoefficients {
    std::vector<std::uint32_t> Exponents; // the recovery slices used, one per lost slice
    // For lost slice j (in the order given), Inputs() coefficients: one for each present input slice (in
    // the order given), then one for each recovery slice of Exponents.
    std::vector<std::uint16_t> Coefficients;
    std::size_t Inputs() const { return Coefficients.size() / std::max<std::size_t>(1, Exponents.size()); }
};

// Solves for the lost input slices. `present` and `lost` together are the input slices of the set (by
// index); `available` the exponents of the recovery slices at hand, in the order to prefer them. A
// recovery slice whose row depends on those already chosen is passed over for the next one. Nothing
// when fewer than lost.size() independent recovery slices are available.
std::optional<RebuildCoefficients> SolveLost(std::span<const std::uint32_t> lost,
                                             std::span<const std::uint32_t> present,
                                             std::span<const std::uint32_t> available);

} // namespace tv

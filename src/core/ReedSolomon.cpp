#include "core/ReedSolomon.h"

#include "core/Gf16.h"
#include "core/HashPool.h"

#include <algorithm>
#include <bit>

namespace tv {

std::uint16_t RecoveryCoefficient(std::uint32_t input, std::uint32_t exponent) {
    return gf16::Pow(gf16::InputConstant(input), exponent);
}

namespace {

static_assert(std::endian::native == std::endian::little,
              "coefficient rows are taken as little-endian words, as the slices are");

// Bytes of each output worked on at a time: a part of the work is one such piece of every output, and
// each part reads only its own piece of the inputs. Each piece costs the kernel its tables for every
// input, so pieces are as long as they may be while the parts stay several a thread, to even out the
// threads' ends.
constexpr std::size_t LongestChunk = 64 << 10, ShortestChunk = 16 << 10;
constexpr std::size_t PartsPerThread = 4;

} // namespace

SliceCombiner::SliceCombiner(std::size_t outputs, std::size_t sliceBytes, unsigned workers)
    : outputs_(outputs), sliceBytes_(sliceBytes), data_(outputs * sliceBytes) {
    const unsigned threads = workers != 0 ? workers : HashWorkers{}.Count();
    if (threads > 1 && outputs > 0) pool_ = std::make_unique<HashPool>(threads - 1);
    chunkBytes_ = std::clamp(std::bit_floor(std::max<std::size_t>(sliceBytes / (threads * PartsPerThread), 1)),
                             ShortestChunk, LongestChunk);
}

SliceCombiner::~SliceCombiner() = default;
SliceCombiner::SliceCombiner(SliceCombiner&&) noexcept = default;

std::size_t SliceCombiner::Parts() const { return outputs_ == 0 ? 0 : (sliceBytes_ + chunkBytes_ - 1) / chunkBytes_; }

void SliceCombiner::AddPart(std::size_t part, std::span<const unsigned char* const> inputs,
                            std::span<const std::uint16_t> coefficients) {
    const std::size_t n = inputs.size();
    const std::size_t offset = part * chunkBytes_;
    if (offset >= sliceBytes_) return;
    const std::size_t bytes = std::min(chunkBytes_, sliceBytes_ - offset);
    std::vector<const unsigned char*> from(n);
    for (std::size_t g = 0; g < n; ++g)
        from[g] = inputs[g] + offset;
    for (std::size_t j = 0; j < outputs_; ++j)
        Gf16MulAddMany(Output(j) + offset, from.data(), coefficients.data() + j * n, n, bytes);
}

void SliceCombiner::Add(std::span<const unsigned char* const> inputs, std::span<const std::uint16_t> coefficients) {
    if (inputs.empty() || outputs_ == 0) return;
    const std::size_t parts = Parts();
    if (!pool_ || parts <= 1) {
        for (std::size_t p = 0; p < parts; ++p)
            AddPart(p, inputs, coefficients);
        return;
    }
    pool_->ForEach(parts, [&](std::size_t p) { AddPart(p, inputs, coefficients); });
}

std::optional<RebuildCoefficients> SolveLost(std::span<const std::uint32_t> lost,
                                             std::span<const std::uint32_t> present,
                                             std::span<const std::uint32_t> available) {
    const std::size_t k = lost.size();
    RebuildCoefficients result;
    if (k == 0) return result;
    std::vector<std::uint16_t> constants(k);
    for (std::size_t j = 0; j < k; ++j)
        constants[j] = gf16::InputConstant(lost[j]);
    auto rowOf = [&](std::uint32_t e) {
        std::vector<std::uint16_t> row(k);
        for (std::size_t j = 0; j < k; ++j)
            row[j] = gf16::Pow(constants[j], e);
        return row;
    };

    // Choose k recovery slices with independent rows: each candidate is reduced against the rows taken so
    // far (each with a pivot scaled to 1) and taken only when something is left.
    std::vector<std::vector<std::uint16_t>> basis;
    std::vector<std::size_t> pivots;
    for (std::uint32_t e : available) {
        if (basis.size() == k) break;
        std::vector<std::uint16_t> v = rowOf(e);
        for (std::size_t b = 0; b < basis.size(); ++b) {
            const std::uint16_t f = v[pivots[b]];
            if (f != 0) Gf16MulAdd(v.data(), basis[b].data(), 2 * k, f);
        }
        const auto nonzero = std::find_if(v.begin(), v.end(), [](std::uint16_t x) { return x != 0; });
        if (nonzero == v.end()) continue;
        const std::size_t pivot = static_cast<std::size_t>(nonzero - v.begin());
        const std::uint16_t inverse = gf16::Inv(v[pivot]);
        for (std::uint16_t& x : v)
            x = gf16::Mul(x, inverse);
        basis.push_back(std::move(v));
        pivots.push_back(pivot);
        result.Exponents.push_back(e);
    }
    if (result.Exponents.size() < k) return std::nullopt;

    // Invert the chosen rows' matrix by Gauss-Jordan elimination on [M | I].
    std::vector<std::vector<std::uint16_t>> m(k), inv(k, std::vector<std::uint16_t>(k));
    for (std::size_t r = 0; r < k; ++r) {
        m[r] = rowOf(result.Exponents[r]);
        inv[r][r] = 1;
    }
    for (std::size_t col = 0; col < k; ++col) {
        std::size_t pivot = col;
        while (pivot < k && m[pivot][col] == 0)
            ++pivot;
        if (pivot == k) return std::nullopt; // cannot happen for independent rows
        std::swap(m[pivot], m[col]);
        std::swap(inv[pivot], inv[col]);
        const std::uint16_t scale = gf16::Inv(m[col][col]);
        for (std::size_t j = 0; j < k; ++j) {
            m[col][j] = gf16::Mul(m[col][j], scale);
            inv[col][j] = gf16::Mul(inv[col][j], scale);
        }
        // Rows are words in memory as slices are: the multiply-accumulate kernel does the row operations.
        for (std::size_t r = 0; r < k; ++r) {
            const std::uint16_t f = m[r][col];
            if (r == col || f == 0) continue;
            Gf16MulAdd(m[r].data(), m[col].data(), 2 * k, f);
            Gf16MulAdd(inv[r].data(), inv[col].data(), 2 * k, f);
        }
    }

    // Recovery slice r = sum_j M[r][j] lost_j + sum_i c_i^e_r present_i, so (addition being subtraction)
    // lost_j = sum_r inv[j][r] (recovery_r + sum_i c_i^e_r present_i).
    const std::size_t n = present.size();
    const std::size_t width = n + k;
    result.Coefficients.assign(k * width, 0);
    std::vector<std::uint16_t> powers(n);
    for (std::size_t r = 0; r < k; ++r) {
        const std::uint32_t e = result.Exponents[r];
        for (std::size_t i = 0; i < n; ++i)
            powers[i] = RecoveryCoefficient(present[i], e);
        for (std::size_t j = 0; j < k; ++j) {
            const std::uint16_t f = inv[j][r];
            if (f == 0) continue;
            std::uint16_t* row = result.Coefficients.data() + j * width;
            Gf16MulAdd(row, powers.data(), 2 * n, f);
            row[n + r] = f;
        }
    }
    return result;
}

} // namespace tv

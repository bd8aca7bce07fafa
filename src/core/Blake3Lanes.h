// The rounds of BLAKE3 over registers of W 32-bit lanes, one input per lane. Included by each wide kernel
// inside its own namespace, after the steps of its register type (Set1, Load, Store, Add, Xor, XorRot16,
// XorRot12, XorRot8, XorRot7 and LoadMessage, which puts word j of the block at `p + k * stride` in lane k
// of register j): it is inlined into the kernel, whose instruction set then serves the steps.
// No include guard: each kernel file includes it once, for its own types.

template <class V> __attribute__((always_inline)) inline void G(V& a, V& b, V& c, V& d, const V& x, const V& y) {
    Add(a, b);
    Add(a, x);
    XorRot16(d, a);
    Add(c, d);
    XorRot12(b, c);
    Add(a, b);
    Add(a, y);
    XorRot8(d, a);
    Add(c, d);
    XorRot7(b, c);
}

// The first W inputs of `job`, one per lane: the portable compression on whole registers.
template <class V, std::size_t W> __attribute__((always_inline)) inline void HashLanes(const Many& job) {
    alignas(64) std::uint32_t lo[W], hi[W], out[8][W];
    for (std::size_t k = 0; k < W; ++k) {
        const std::uint64_t counter = job.Counter + (job.CountUp ? k : 0);
        lo[k] = static_cast<std::uint32_t>(counter);
        hi[k] = static_cast<std::uint32_t>(counter >> 32);
    }
    V cv[8], counterLo, counterHi, blockLen;
    for (int j = 0; j < 8; ++j)
        Set1(cv[j], Iv[j]);
    Load(counterLo, lo);
    Load(counterHi, hi);
    Set1(blockLen, 64);
    for (std::size_t b = 0; b < job.Blocks; ++b) {
        V m[16], v[16];
        LoadMessage(m, job.Input + 64 * b, job.Stride);
        std::uint32_t flags = job.Flags;
        if (b == 0) flags |= job.StartFlags;
        if (b + 1 == job.Blocks) flags |= job.EndFlags;
        for (int j = 0; j < 8; ++j)
            v[j] = cv[j];
        for (int j = 0; j < 4; ++j)
            Set1(v[8 + j], Iv[j]);
        v[12] = counterLo;
        v[13] = counterHi;
        v[14] = blockLen;
        Set1(v[15], flags);
        for (const auto& s : Sigma.Words) {
            G(v[0], v[4], v[8], v[12], m[s[0]], m[s[1]]);
            G(v[1], v[5], v[9], v[13], m[s[2]], m[s[3]]);
            G(v[2], v[6], v[10], v[14], m[s[4]], m[s[5]]);
            G(v[3], v[7], v[11], v[15], m[s[6]], m[s[7]]);
            G(v[0], v[5], v[10], v[15], m[s[8]], m[s[9]]);
            G(v[1], v[6], v[11], v[12], m[s[10]], m[s[11]]);
            G(v[2], v[7], v[8], v[13], m[s[12]], m[s[13]]);
            G(v[3], v[4], v[9], v[14], m[s[14]], m[s[15]]);
        }
        for (int j = 0; j < 8; ++j) {
            cv[j] = v[j];
            Xor(cv[j], v[8 + j]);
        }
    }
    for (int j = 0; j < 8; ++j)
        Store(out[j], cv[j]);
    for (std::size_t k = 0; k < W; ++k)
        for (int j = 0; j < 8; ++j)
            StoreLe32(job.Out + 32 * k + 4 * j, out[j][k]);
}

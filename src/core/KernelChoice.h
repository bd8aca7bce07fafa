#pragma once
// Choosing between interchangeable kernels that compute the same result at different speeds: a table of the
// kernels this build has, the order to prefer them in, and an environment variable that forces one. The
// choice is made on first use and can be changed later (tests force each kernel in turn).
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>

namespace tv {

template <typename K, typename F> struct KernelEntry {
    K Kernel;
    std::string_view Name;
    F Fn; // null when this build has no such kernel
};

template <typename K, typename F> struct KernelTable {
    std::span<const KernelEntry<K, F>> Kernels; // in the order of the enum's values
    std::span<const K> Preference;              // best first
    K Fallback;                                 // when none of the preferred ones can run
    std::string_view (*ProcessorLacks)(K);      // why the processor cannot run a built kernel (empty when it can)
    const char* EnvVar;                         // names the kernel to force

    const KernelEntry<K, F>& Info(K k) const { return Kernels[static_cast<std::size_t>(k)]; }

    std::optional<K> ByName(std::string_view name) const {
        for (const KernelEntry<K, F>& info : Kernels)
            if (info.Name == name) return info.Kernel;
        return std::nullopt;
    }

    std::string_view Missing(K k) const {
        if (Info(k).Fn == nullptr) return "this build is not for that processor architecture";
        return ProcessorLacks(k);
    }

    bool Available(K k) const { return Missing(k).empty(); }

    K Best() const {
        for (K k : Preference)
            if (Available(k)) return k;
        return Fallback;
    }

    // The named kernel when it is available, else the fastest; `forced` is null when the variable is unset.
    K Choose(const char* forced) const {
        if (forced != nullptr) {
            const std::optional<K> k = ByName(forced);
            if (k && Available(*k)) return *k;
        }
        return Best();
    }
};

// The kernel in use, first chosen from the environment.
template <typename K, typename F> struct ActiveKernel {
    std::atomic<F> Fn;
    std::atomic<K> Kernel;

    explicit ActiveKernel(const KernelTable<K, F>& table) {
        const K k = table.Choose(std::getenv(table.EnvVar));
        Kernel.store(k);
        Fn.store(table.Info(k).Fn);
    }

    // Returns false (and changes nothing) when `k` is not available.
    bool Set(const KernelTable<K, F>& table, K k) {
        if (!table.Available(k)) return false;
        Kernel.store(k, std::memory_order_relaxed);
        Fn.store(table.Info(k).Fn, std::memory_order_relaxed);
        return true;
    }
};

// The kernel in use for `table`'s kind of kernel (one table per kind), chosen on first use.
template <typename K, typename F> ActiveKernel<K, F>& ActiveKernelOf(const KernelTable<K, F>& table) {
    static ActiveKernel<K, F> active(table);
    return active;
}

} // namespace tv

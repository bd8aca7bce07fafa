#include "core/HashPool.h"

#include "core/ListedRead.h"
#include "platform/Process.h"

#include <algorithm>
#include <atomic>
#include <exception>

namespace tv {

HashPool::HashPool(unsigned threads) : madeBy_(ProcessId()) {
    threads_.reserve(threads);
    for (unsigned k = 0; k < threads; ++k)
        threads_.emplace_back([this] { Run(); });
}

HashPool::~HashPool() {
    {
        const std::lock_guard<std::mutex> held(lock_);
        ending_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void HashPool::Post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> held(lock_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void HashPool::Run() {
    std::unique_lock<std::mutex> held(lock_);
    for (;;) {
        wake_.wait(held, [this] { return ending_ || !tasks_.empty(); });
        if (ending_) {
            held.unlock();
            ReleaseSharedReadBlock();
            return;
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        held.unlock();
        task(); // tasks catch their own exceptions: one escaping here ends the program, as it should
        held.lock();
    }
}

void HashPool::ForEach(std::size_t count, const std::function<void(std::size_t)>& f) {
    if (count == 0) return;
    struct Shared {
        std::atomic<std::size_t> next{0};
        std::mutex lock;
        std::condition_variable done;
        std::size_t finished = 0;
        std::exception_ptr error;
    };
    auto shared = std::make_shared<Shared>();
    // Claims items until none is left; a helper that starts after the last was claimed does nothing, so
    // it never touches `f` after ForEach returned.
    auto work = [shared, count, &f] {
        for (;;) {
            const std::size_t k = shared->next.fetch_add(1);
            if (k >= count) return;
            std::exception_ptr error;
            try {
                f(k);
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard<std::mutex> held(shared->lock);
            if (error && !shared->error) shared->error = error;
            if (++shared->finished == count) shared->done.notify_all();
        }
    };
    const std::size_t helpers = std::min<std::size_t>(count - 1, threads_.size());
    for (std::size_t k = 0; k < helpers; ++k)
        Post(work);
    work();
    std::unique_lock<std::mutex> held(shared->lock);
    shared->done.wait(held, [&] { return shared->finished == count; });
    if (shared->error) std::rethrow_exception(shared->error);
}

unsigned HashWorkers::Count() const {
    if (Threads >= 1) return static_cast<unsigned>(std::min(Threads, MaxThreads));
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, static_cast<unsigned>(MaxThreads));
}

std::shared_ptr<HashPool> HashWorkers::Pool() {
    const unsigned n = Count();
    if (n <= 1) return nullptr;
    if (pool_ && pool_->MadeBy() != ProcessId()) {
        // Made before this process was forked from its parent: its threads are not here, and joining
        // them would fail. It is left as it is, and the child makes a pool of its own.
        new std::shared_ptr<HashPool>(std::move(pool_));
    }
    if (!pool_ || pool_->Threads() != n) pool_ = std::make_shared<HashPool>(n);
    return pool_;
}

} // namespace tv

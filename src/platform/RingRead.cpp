#include "platform/RingRead.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <sys/uio.h>

#ifdef TV_HAVE_LIBURING
#include <liburing.h>
#endif

namespace tv::posix {

#ifdef TV_HAVE_LIBURING

struct RingRead::Ring {
    io_uring ring{};
    bool ready = false;
    ~Ring() {
        if (ready) ::io_uring_queue_exit(&ring);
    }
};

RingRead::RingRead() = default;
RingRead::~RingRead() = default;

bool RingRead::Usable() {
    if (refused_) return false;
    if (ring_) return true;
    auto r = std::make_unique<Ring>();
    // Three entries a file; the descriptors live in the ring's own table, one slot a file of the batch.
    if (::io_uring_queue_init(static_cast<unsigned>(MaxFiles * 3), &r->ring, 0) != 0) {
        refused_ = true;
        return false;
    }
    r->ready = true;
    std::vector<int> slots(MaxFiles, -1);
    if (::io_uring_register_files(&r->ring, slots.data(), static_cast<unsigned>(slots.size())) != 0) {
        refused_ = true;
        return false;
    }
    ring_ = std::move(r);
    return true;
}

bool RingRead::Read(int dir, std::vector<File>& files, bool cachedOnly) {
    if (files.empty() || files.size() > MaxFiles || !Usable()) return false;
    std::size_t total = 0;
    constexpr std::int64_t Unanswered = INT64_MIN;
    for (File& f : files) {
        f.At = total;
        f.Got = Unanswered;
        total += f.Want;
    }
    if (total > MaxBytes) return false;
    // A new buffer when a holder still reads the last one.
    if (!bytes_ || bytes_.use_count() > 1) bytes_ = std::make_shared<std::vector<unsigned char>>();
    if (bytes_->size() < total) bytes_->resize(total);
    io_uring* ring = &ring_->ring;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const unsigned slot = static_cast<unsigned>(k);
        io_uring_sqe* open = ::io_uring_get_sqe(ring);
        ::io_uring_prep_openat_direct(open, dir, files[k].Name, O_RDONLY | O_NONBLOCK | O_NOATIME, 0, slot);
        open->flags |= IOSQE_IO_LINK;
        open->user_data = k * 3;
        io_uring_sqe* read = ::io_uring_get_sqe(ring);
        ::io_uring_prep_read(read, static_cast<int>(slot), bytes_->data() + files[k].At,
                             static_cast<unsigned>(files[k].Want), 0);
        if (cachedOnly) read->rw_flags = RWF_NOWAIT;
        // A short read ends the link; the close must still run.
        read->flags |= IOSQE_FIXED_FILE | IOSQE_IO_HARDLINK;
        read->user_data = k * 3 + 1;
        io_uring_sqe* close = ::io_uring_get_sqe(ring);
        ::io_uring_prep_close_direct(close, slot);
        close->user_data = k * 3 + 2;
    }
    const unsigned want = static_cast<unsigned>(files.size() * 3);
    unsigned seen = 0;
    int submitted = ::io_uring_submit_and_wait(ring, want);
    while (submitted == -EINTR)
        submitted = ::io_uring_submit_and_wait(ring, want);
    if (submitted < 0) {
        refused_ = true;
        return false;
    }
    bool openRefused = false;
    while (seen < want) {
        io_uring_cqe* cqe = nullptr;
        const int r = ::io_uring_wait_cqe(ring, &cqe);
        if (r == -EINTR) continue;
        if (r < 0) { // the ring is broken: its slots may still be taken, so it is not used again
            refused_ = true;
            return false;
        }
        const std::size_t k = cqe->user_data / 3;
        const int res = cqe->res;
        switch (cqe->user_data % 3) {
        case 0: // the open: a failure cancels the read, whose -ECANCELED stays
            if (res < 0) {
                files[k].Got = res;
                if (res == -EPERM) openRefused = true;
            }
            break;
        case 1:
            if (files[k].Got == Unanswered) files[k].Got = res;
            break;
        default:
            break;
        }
        ::io_uring_cqe_seen(ring, cqe);
        ++seen;
    }
    for (File& f : files)
        if (f.Got == Unanswered) f.Got = -ECANCELED;
    // O_NOATIME refused: the files are not the program's own, and the plain opens take them from here on.
    if (openRefused) refused_ = true;
    return true;
}

#else

struct RingRead::Ring {};
RingRead::RingRead() = default;
RingRead::~RingRead() = default;
bool RingRead::Usable() {
    return false;
}
bool RingRead::Read(int, std::vector<File>&, bool) {
    return false;
}

#endif

} // namespace tv::posix

#pragma once
// One Win32 or native handle, closed when it goes.
#include "platform/win32/WideText.h"

#include <cstdint>

namespace tv::win32 {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& o) noexcept : h_(o.release()) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = o.release();
        }
        return *this;
    }
    ~Handle() { reset(); }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void reset() {
        if (valid()) ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Deletes the opened file (it goes when its last handle closes): false when the system refuses. The
// handle needs DELETE access.
inline bool MarkForDeletion(HANDLE h) {
    FILE_DISPOSITION_INFO gone{TRUE}; // its one member, which windows.h's DeleteFile macro hides
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone) != 0;
}

// The file index and the size an opened file's information gives, each as one number.
inline std::uint64_t IndexOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

inline std::int64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
}

} // namespace tv::win32

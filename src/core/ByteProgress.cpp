#include "core/ByteProgress.h"

namespace tv {

namespace {
thread_local ByteProgressSink* installed = nullptr;
} // namespace

ByteProgressScope::ByteProgressScope(ByteProgressSink* sink) : previous_(installed) {
    installed = sink;
}

ByteProgressScope::~ByteProgressScope() {
    installed = previous_;
}

ReadingFile::ReadingFile(std::int64_t listedSize) : sink_(installed) {
    if (sink_) sink_->FileBegun(listedSize);
}

ReadingFile::~ReadingFile() {
    if (sink_) sink_->FileEnded();
}

} // namespace tv

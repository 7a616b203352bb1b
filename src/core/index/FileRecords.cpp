#include "core/index/FileIndexWriter.h"

#include "platform/FileAccess.h"

#include <algorithm>
#include <cstring>

namespace nrvs {

namespace P = platform;

FileRecords::FileRecords() = default;
FileRecords::~FileRecords() = default;
FileRecords::FileRecords(FileRecords&&) noexcept = default;
FileRecords& FileRecords::operator=(FileRecords&&) noexcept = default;

namespace {
// Writes to the scratch file in pieces of this size, and reads back as much.
constexpr size_t kSpillPiece = size_t{1} << 14;
} // namespace

void FileRecords::SpillTo(const std::string& nativeFolder) {
    if (!spill_ && size_ == 0) spillFolder_ = nativeFolder;
}

void FileRecords::Fail(const char* what) const {
    if (failure_.empty()) failure_ = std::string("scratch file of the index: ") + what;
}

void FileRecords::Append(const char* p, size_t n) {
    // The scratch file is made with the first record: a walk has a stream
    // for every worker it may start, most of which never find a file.
    if (!spillFolder_.empty()) {
        auto file = std::make_unique<P::ScratchFile>();
        if (file->Open(spillFolder_)) {
            spill_ = std::move(file);
            pending_.reserve(kSpillPiece);
        }
        std::string().swap(spillFolder_);
    }
    if (spill_) {
        // Written out before it would outgrow its buffer (n is at most a
        // record's head or a name, far below a piece).
        if (pending_.size() + n > kSpillPiece) {
            if (!spill_->WriteAt(flushed_, pending_)) Fail(spill_->Why().c_str());
            flushed_ += pending_.size();
            pending_.clear();
        }
        pending_.append(p, n);
        size_ += n;
        return;
    }
    while (n > 0) {
        const uint64_t used = size_ & (kBlockSize - 1);
        if (used == 0 && (size_ >> kBlockBits) == blocks_.size())
            blocks_.push_back(std::make_unique<char[]>(kBlockSize));
        const size_t k = static_cast<size_t>(std::min<uint64_t>(n, kBlockSize - used));
        std::memcpy(blocks_[size_ >> kBlockBits].get() + used, p, k);
        size_ += k, p += k, n -= k;
    }
}

uint64_t FileRecords::Add(const IndexedFile& f, std::string_view name) {
    const uint64_t at = size_;
    const size_t length = std::min<size_t>(name.size(), 255);
    char head[kHead];
    std::memcpy(head, &f.Size, 8);
    std::memcpy(head + 8, &f.Occupied, 8);
    std::memcpy(head + 16, &f.ModifiedTime, 8);
    head[24] = static_cast<char>(length);
    head[25] = static_cast<char>(f.Flags);
    Append(head, kHead);
    Append(name.data(), length);
    nameBytes_ += length;
    return at;
}

void FileRecords::Seal() {
    if (!spill_ || pending_.empty()) return;
    if (!spill_->WriteAt(flushed_, pending_)) Fail(spill_->Why().c_str());
    flushed_ += pending_.size();
    std::string().swap(pending_);
}

void FileRecords::Read(uint64_t at, char* to, size_t n) const {
    while (n > 0) {
        size_t k = 0;
        if (!spill_) {
            const uint64_t off = at & (kBlockSize - 1);
            k = static_cast<size_t>(std::min<uint64_t>(n, kBlockSize - off));
            std::memcpy(to, blocks_[at >> kBlockBits].get() + off, k);
        } else if (at >= flushed_) {
            const size_t off = static_cast<size_t>(at - flushed_);
            k = std::min(n, pending_.size() - off);
            std::memcpy(to, pending_.data() + off, k);
        } else {
            if (at < windowAt_ || at >= windowAt_ + window_.size()) {
                windowAt_ = at;
                window_.resize(static_cast<size_t>(std::min<uint64_t>(kSpillPiece, flushed_ - at)));
                if (!spill_->ReadAt(at, window_.data(), window_.size())) {
                    Fail(spill_->Why().c_str());
                    std::memset(window_.data(), 0, window_.size());
                }
            }
            const size_t off = static_cast<size_t>(at - windowAt_);
            k = std::min(n, window_.size() - off);
            std::memcpy(to, window_.data() + off, k);
        }
        at += k, to += k, n -= k;
    }
}

void FileRecords::AddFlags(uint64_t position, uint8_t flags) {
    const uint64_t at = position + 25;
    char old = 0;
    Read(at, &old, 1);
    const char now = static_cast<char>(static_cast<uint8_t>(old) | flags);
    if (!spill_) {
        blocks_[at >> kBlockBits][at & (kBlockSize - 1)] = now;
    } else if (at >= flushed_) {
        pending_[static_cast<size_t>(at - flushed_)] = now;
    } else {
        if (!spill_->WriteAt(at, std::string_view(&now, 1))) Fail(spill_->Why().c_str());
        if (at >= windowAt_ && at < windowAt_ + window_.size())
            window_[static_cast<size_t>(at - windowAt_)] = now;
    }
}

} // namespace nrvs

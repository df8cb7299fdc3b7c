#include "run/RunMemory.h"

#include "base/PhysicalMemory.h"

#include <algorithm>
#include <cstdlib> // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace trimlark {

void KeepRunMemoryFlat()
{
#if defined(__GLIBC__)
    // glibc raises its mmap and trim thresholds each time a large block is freed, after which image-sized
    // buffers come from the heap and fragment it: over 60 images of 24 MP the peak grew by half. Fixed
    // thresholds keep them mapped and returned on free (measured: flat, and no slower).
    constexpr int kThreshold = 128 * 1024;
    mallopt(M_MMAP_THRESHOLD, kThreshold);
    mallopt(M_TRIM_THRESHOLD, 2 * kThreshold);
#endif
}

double DefaultRunMemoryBudget()
{
    return PhysicalMemoryBytes() / 4;
}

MemoryBudget::Hold MemoryBudget::Take(double bytes)
{
    const double wanted = std::clamp(bytes, 0.0, bytes_);
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = nextTicket_++;
    changed_.wait(lock, [&] { return serving_ == ticket && (held_ == 0 || held_ + wanted <= bytes_); });
    ++serving_;
    held_ += wanted;
    changed_.notify_all(); // the next ticket may fit too
    return Hold(this, wanted);
}

std::uint64_t MemoryBudget::Waiting()
{
    std::lock_guard lock(mutex_);
    return nextTicket_ - serving_;
}

MemoryBudget::Hold::~Hold()
{
    if (!budget_)
        return;
    std::lock_guard lock(budget_->mutex_);
    budget_->held_ -= bytes_;
    if (budget_->held_ < 1e-6)
        budget_->held_ = 0;
    budget_->changed_.notify_all();
}

} // namespace trimlark

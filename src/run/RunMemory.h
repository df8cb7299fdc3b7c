#pragma once

namespace trimlark {

// Once per process, before the first run: large image buffers go back to the system when an image is done,
// so a process's memory stays flat over a long list instead of creeping up with heap fragmentation.
void KeepRunMemoryFlat();

} // namespace trimlark

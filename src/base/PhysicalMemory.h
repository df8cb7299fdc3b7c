#pragma once

namespace trimlark {

// The machine's physical memory in bytes, which every memory limit of the program is a share of; 4 GiB (a small
// machine's) where the system does not tell it.
double PhysicalMemoryBytes();

} // namespace trimlark

#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace trimlark {

// Whole transfers on a file descriptor: each retries a call the system cut short or interrupted, and is false,
// with errno set, when the file cannot take or give every byte (a full disk, the end of the file).
bool WriteAll(int fd, const void* data, std::size_t size);                 // at the file's position
bool WriteAllAt(int fd, const void* data, std::size_t size, off_t offset); // position unchanged
bool ReadAllAt(int fd, void* data, std::size_t size, off_t offset);

// Why the file at path could not be written, for the user: "cannot write <path>: the disk is full" (ENOSPC), or the
// system's words for the error.
std::string WriteFailureText(const std::string& path, int error);

} // namespace trimlark

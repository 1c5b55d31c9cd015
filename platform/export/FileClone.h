#pragma once
// Copies one open file into another as cheaply as the file system allows: first as a
// clone (the two files share their blocks until either is written, so a file of any size
// is "copied" in a few milliseconds on file systems with reflinks: Btrfs, XFS, bcachefs,
// ZFS with block cloning), then by an in-kernel copy, then by plain reads and writes.
// The source is only read.

#include <atomic>
#include <string>

enum class FileCopyMethod { None, Clone, KernelCopy, ReadWrite };

struct FileCopyResult {
    bool ok = false;
    bool cancelled = false;
    FileCopyMethod method = FileCopyMethod::None;
    std::string error;  // why it failed
};

// Copies all of `sourceFd` (from its start) into `targetFd`, which must be empty and
// open for writing. A source that ends before the size it had when the copy began is an
// error, not a shorter copy. Checks `cancel` between pieces of the copy. A test may switch the
// clone off (`allowClone` false) to measure the copy the clone saves.
FileCopyResult cloneOrCopyFile(int sourceFd, int targetFd, const std::atomic<bool>& cancel, bool allowClone = true);

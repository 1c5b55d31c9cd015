#pragma once
// Opening and writing files whose names come from outside (the music folder, a
// command line, a desktop request) without being steered by what sits at the name.
//
// Reading: only a regular file is opened. The open itself does not wait (a FIFO or a
// device would block the opener until someone writes to it), and the type is checked on
// the descriptor, not on the name, so a file swapped for a pipe after a check cannot
// slip through.
//
// Writing: the data goes to a fresh temporary beside the target (created exclusively,
// never through a link), is synced, and replaces the target by a rename, so a reader
// never sees a partial file and a link at the target's name is replaced, not followed.

#include <cstddef>
#include <string>

// A descriptor (O_RDONLY, close-on-exec, blocking reads) of the regular file at `path`,
// or -1 with errno set: EINVAL when the name is not a regular file (FIFO, socket,
// device, directory).
int openRegularFile(const char* path);

// A file being written under a temporary name beside `target`.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string target);
    ~ReplacingFile();  // removes the temporary unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The temporary's descriptor, or -1 (errno set) when it could not be created.
    int descriptor() const { return m_fd; }
    const std::string& temporaryPath() const { return m_temporary; }
    // Writes all of `data`; false (errno set) on an error.
    bool write(const void* data, size_t length);
    // Syncs the data, closes and renames the temporary over the target; false (errno
    // set, temporary removed) on any error.
    bool commit();

private:
    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
};

// Replaces `target` with `length` bytes of `data` as above.
bool replaceFileContents(const std::string& target, const void* data, size_t length);

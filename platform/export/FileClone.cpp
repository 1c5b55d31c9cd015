#include "platform/export/FileClone.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kKernelPiece = 16u << 20;  // between cancel checks
constexpr size_t kBufferSize = 256u << 10;

std::string describe(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Errors that mean "this way of copying does not apply here", not "the copy failed".
bool notSupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == ENOTTY
        || error == EBADF || error == EPERM;
}

} // namespace

FileCopyResult cloneOrCopyFile(int sourceFd, int targetFd, const std::atomic<bool>& cancel, bool allowClone)
{
    FileCopyResult result;
    struct stat status {};
    if (::fstat(sourceFd, &status) != 0) {
        result.error = describe("stat", errno);
        return result;
    }
    if (cancel.load()) {
        result.cancelled = true;
        return result;
    }

    if (allowClone && ::ioctl(targetFd, FICLONE, sourceFd) == 0) {
        result.ok = true;
        result.method = FileCopyMethod::Clone;
        return result;
    }

    // copy_file_range keeps the data in the kernel (and clones by itself on some file
    // systems); it is tried from the start and given up at once if it does not apply.
    off_t in = 0, out = 0;
    const off_t size = status.st_size;
    bool kernelCopy = true;
    while (kernelCopy && in < size) {
        if (cancel.load()) {
            result.cancelled = true;
            return result;
        }
        const ssize_t n = ::copy_file_range(sourceFd, &in, targetFd, &out, kKernelPiece, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && in == 0 && notSupported(errno)) {
            kernelCopy = false;
            break;
        }
        if (n < 0) {
            result.error = describe("copy", errno);
            return result;
        }
        if (n == 0) {
            result.error = "the source shrank during the copy";
            return result;
        }
    }
    if (kernelCopy) {
        result.ok = true;
        result.method = FileCopyMethod::KernelCopy;
        return result;
    }

    auto buffer = std::make_unique<char[]>(kBufferSize);
    off_t offset = 0;
    for (;;) {
        if (cancel.load()) {
            result.cancelled = true;
            return result;
        }
        const ssize_t got = ::pread(sourceFd, buffer.get(), kBufferSize, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.error = describe("read", errno);
            return result;
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(targetFd, buffer.get() + done, size_t(got - done), offset + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                result.error = describe("write", errno);
                return result;
            }
            done += put;
        }
        offset += got;
    }
    if (offset < size) {
        result.error = "the source shrank during the copy";
        return result;
    }
    result.ok = true;
    result.method = FileCopyMethod::ReadWrite;
    return result;
}

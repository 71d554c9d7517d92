#include "files/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>

namespace vorlane {

namespace {

std::string NotRegular(mode_t mode)
{
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    return "is not a regular file";
}

}  // namespace

int OpenRegularFileForReading(const std::string& path, std::string& reason)
{
    struct stat status {};
    // note: opening a device alone may act on it, so it is refused unopened.
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        reason = NotRegular(status.st_mode);
        return -1;
    }
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        reason = std::string("cannot open: ") + std::strerror(errno);
        return -1;
    }
    // The name may have changed since stat: what was opened decides.
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        reason = NotRegular(status.st_mode);
        close(descriptor);
        return -1;
    }
    return descriptor;
}

bool ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason, unsigned long long limit)
{
    const int descriptor = OpenRegularFileForReading(path, reason);
    if (descriptor < 0) return false;
    struct stat status {};
    bool ok = fstat(descriptor, &status) == 0;
    if (!ok) reason = std::string("cannot read: ") + std::strerror(errno);
    if (ok && static_cast<unsigned long long>(status.st_size) > limit) {
        reason = "is too large";
        ok = false;
    }
    bytes.clear();
    try {
        if (ok) bytes.reserve(static_cast<std::size_t>(status.st_size));
        char chunk[1 << 16];
        while (ok) {
            const ssize_t got = read(descriptor, chunk, sizeof chunk);
            if (got == 0) break;
            if (got < 0) {
                if (errno == EINTR) continue;
                reason = std::string("cannot read: ") + std::strerror(errno);
                ok = false;
            } else if (bytes.size() + static_cast<std::size_t>(got) > limit) {
                reason = "is too large";
                ok = false;
            } else {
                bytes.append(chunk, static_cast<std::size_t>(got));
            }
        }
    } catch (const std::bad_alloc&) {
        reason = "is too large to read into memory";
        ok = false;
    }
    close(descriptor);
    if (!ok) bytes.clear();
    return ok;
}

bool ReadRegularFileInFolder(const std::string& folder, const std::string& name, std::string& bytes,
                             std::string& reason, unsigned long long limit)
{
    bytes.clear();
    const std::filesystem::path relative(name);
    if (name.empty() || name.find('\0') != std::string::npos) {
        reason = "is not a file name";
        return false;
    }
    if (relative.is_absolute()) {
        reason = "is an absolute path, not a file beside this one";
        return false;
    }
    for (const std::filesystem::path& part : relative) {
        if (part == "..") {
            reason = "leaves the file's folder";
            return false;
        }
    }
    const std::filesystem::path path = std::filesystem::path(folder.empty() ? "." : folder) / relative;
    // note: a link inside the folder may still lead out of it.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::canonical(folder.empty() ? "." : folder, error);
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    const auto [end, _] = std::mismatch(base.begin(), base.end(), real.begin(), real.end());
    if (error || end != base.end()) {
        reason = "leaves the file's folder";
        return false;
    }
    return ReadRegularFile(path.string(), bytes, reason, limit);
}

}  // namespace vorlane

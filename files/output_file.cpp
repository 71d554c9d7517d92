#include "files/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <streambuf>
#include <system_error>
#include <thread>
#include <vector>

namespace vorlane {

namespace {

std::string NotRegular(mode_t mode)
{
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISLNK(mode)) return "is a symbolic link, which is not followed";
    if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

// What stands at path now, after an open that failed.
std::string OpenFailure(const std::string& path, int error)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return NotRegular(status.st_mode);
    return std::strerror(error);
}

// ----------------------------------------------------------------- removal on signals

// Every signal whose default ends the process and that can be caught.
const int CleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF};

// The temporary file being written, for the handler; the path changes only
// while the signals are blocked.
char pendingPath[PATH_MAX];
volatile std::sig_atomic_t pathPending = 0;

void RemoveTemporaryAndRaise(int signal)
{
    if (pathPending) unlink(pendingPath);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(signal, &defaults, nullptr);
    // note: still blocked in the handler; the default action comes on return.
    raise(signal);
}

// Holds the signals back while it lives, so the temporary path and the file
// agree whenever one comes.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : CleanupSignals) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// Installs the handler where the default action would have ended the
// process; an ignored signal or another handler stays as it is. A file
// grown past the size limit fails its write (EFBIG) instead of ending the
// process, so the writer says why and cleans up.
class RemoveOnSignals {
public:
    RemoveOnSignals()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ignoringSizeLimit_ = sigaction(SIGXFSZ, nullptr, &previousSizeLimit_) == 0 && previousSizeLimit_.sa_handler == SIG_DFL &&
                             !(previousSizeLimit_.sa_flags & SA_SIGINFO) && sigaction(SIGXFSZ, &ignore, nullptr) == 0;
        for (std::size_t i = 0; i < std::size(CleanupSignals); ++i) {
            struct sigaction ours {};
            ours.sa_handler = RemoveTemporaryAndRaise;
            sigemptyset(&ours.sa_mask);
            installed_[i] = sigaction(CleanupSignals[i], nullptr, &previous_[i]) == 0 &&
                            previous_[i].sa_handler == SIG_DFL && !(previous_[i].sa_flags & SA_SIGINFO) &&
                            sigaction(CleanupSignals[i], &ours, nullptr) == 0;
        }
    }
    ~RemoveOnSignals()
    {
        for (std::size_t i = 0; i < std::size(CleanupSignals); ++i)
            if (installed_[i]) sigaction(CleanupSignals[i], &previous_[i], nullptr);
        if (ignoringSizeLimit_) sigaction(SIGXFSZ, &previousSizeLimit_, nullptr);
    }
    RemoveOnSignals(const RemoveOnSignals&) = delete;
    RemoveOnSignals& operator=(const RemoveOnSignals&) = delete;

private:
    struct sigaction previous_[std::size(CleanupSignals)] {};
    bool installed_[std::size(CleanupSignals)] = {};
    struct sigaction previousSizeLimit_ {};
    bool ignoringSizeLimit_ = false;
};

// While it lives, writes out and flushes what has reached the file, a
// millisecond after the last flush, so that the fsync before the rename
// waits for the last stretch only, not the whole file: a 400 MB morph
// waited most of a second. On a virtual disk the flush takes the time, not
// the writing out, so starting the writing alone saved little. A flush's
// failure is kept in error, as the kernel reports it to one flush only.
// The thread takes none of the signals the handler is for.
class EarlyWriteBack {
public:
    EarlyWriteBack(int descriptor, int& error) : descriptor_(descriptor), error_(error)
    {
        const SignalsHeld held;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // note: no thread to spare: the fsync writes it all, as before.
        }
    }
    ~EarlyWriteBack()
    {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    EarlyWriteBack(const EarlyWriteBack&) = delete;
    EarlyWriteBack& operator=(const EarlyWriteBack&) = delete;

private:
    void Run()
    {
        off_t flushed = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(1), [this] { return done_; })) {
            // note: a flush costs a device flush even when nothing is new.
            struct stat status {};
            if (fstat(descriptor_, &status) != 0 || status.st_size <= flushed) continue;
            const off_t written = status.st_size;
            lock.unlock();
            const int failed = fdatasync(descriptor_) != 0 ? errno : 0;
            lock.lock();
            flushed = written;
            if (failed != 0 && failed != EINTR && error_ == 0) error_ = failed;
        }
    }

    int descriptor_;
    int& error_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// A fresh temporary name beside target: ".NAME.XXXXXX", or the short
// ".vlXXXXXX" where that would pass the directory's limit on name length.
std::string TemporaryPattern(const std::filesystem::path& target)
{
    const std::filesystem::path directory = target.parent_path();
    const std::string name = target.filename().string();
    long nameMax = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = NAME_MAX;
    const bool longName = name.size() + 8 > static_cast<std::size_t>(nameMax) ||
                          target.string().size() + 8 >= sizeof pendingPath;
    return (directory / (longName ? ".vlXXXXXX" : "." + name + ".XXXXXX")).string();
}

std::string SystemFailure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Renames the temporary file to path, or removes it when path is null or the
// rename fails. Returns an empty string or why it failed.
std::string Settle(const char* temporary, const char* path)
{
    const SignalsHeld held;
    std::string failure;
    if (path && std::rename(temporary, path) != 0) failure = SystemFailure("cannot write");
    if (!path || !failure.empty()) unlink(temporary);
    pathPending = 0;
    return failure;
}

// A file in directory with no name yet, which nothing can leave behind, not
// even a kill: only its descriptor holds it till Publish links it. -1 where
// the file system has no such files, or /proc cannot name the descriptor.
int OpenUnnamed(const std::filesystem::path& directory)
{
    const int descriptor = open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (descriptor < 0) return -1;
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    if (access(self.c_str(), F_OK) == 0) return descriptor;
    close(descriptor);
    return -1;
}

// Gives the unnamed file at descriptor the name path: linked there at once
// where path is free, else under a fresh name from pattern (its last six
// characters replaced) and renamed over path. Returns an empty string or
// why it failed.
std::string Publish(int descriptor, std::vector<char>& pattern, const char* path)
{
    const SignalsHeld held;
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) return {};
    if (errno != EEXIST) return SystemFailure("cannot write");
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<uint64_t>(getpid()) << 32);
    char* const x = pattern.data() + pattern.size() - 7;  // before the terminating zero
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            x[i] = letters[(seed >> 33) % (sizeof letters - 1)];
        }
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, pattern.data(), AT_SYMLINK_FOLLOW) == 0) {
            std::memcpy(pendingPath, pattern.data(), pattern.size());
            pathPending = 1;
            return Settle(pattern.data(), path);
        }
        if (errno != EEXIST) return SystemFailure("cannot write");
    }
    return "cannot write: no free name for a temporary file beside it";
}

// Writes a stream's bytes to a FILE, keeping the first failure's errno.
class FileBuffer : public std::streambuf {
public:
    explicit FileBuffer(std::FILE* file) : file_(file) {}
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override
    {
        const std::size_t written = std::fwrite(bytes, 1, static_cast<std::size_t>(count), file_);
        if (written != static_cast<std::size_t>(count) && error_ == 0) error_ = errno ? errno : EIO;
        return static_cast<std::streamsize>(written);
    }

private:
    std::FILE* file_;
    int error_ = 0;
};

}  // namespace

int OpenRegularFileForWriting(const std::string& path, std::string& reason)
{
    struct stat status {};
    // note: a device is refused before it is opened, which alone may act on it.
    if (lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        reason = NotRegular(status.st_mode);
        return -1;
    }
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        reason = OpenFailure(path, errno);
        return -1;
    }
    // The name may have changed since lstat: what was opened decides.
    const int flags = fcntl(descriptor, F_GETFL);
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        reason = NotRegular(status.st_mode);
    } else if (ftruncate(descriptor, 0) != 0 || flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        reason = std::strerror(errno);
    } else {
        return descriptor;
    }
    close(descriptor);
    return -1;
}

std::string WriteFileAtomically(const std::string& path, const std::function<std::string(std::FILE* file)>& write)
{
    const std::filesystem::path target(path);
    if (target.filename().empty()) return path + ": names a directory, not a file";
    struct stat old {};
    mode_t mode = 0;
    if (lstat(path.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) return path + ": " + NotRegular(old.st_mode);
        // note: permission bits only; set-id bits do not survive a new owner.
        mode = old.st_mode & 0777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = static_cast<mode_t>(0666) & ~mask;
    }

    // note: the same directory, so the rename cannot cross file systems.
    const std::string pattern = TemporaryPattern(target);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (name.size() > sizeof pendingPath)
        return path + ": cannot create a file beside it: " + std::strerror(ENAMETOOLONG);
    const RemoveOnSignals removeOnSignals;
    int descriptor = OpenUnnamed(target.parent_path());
    const bool unnamed = descriptor >= 0;
    if (!unnamed) {
        const SignalsHeld held;
        descriptor = mkostemp(name.data(), O_CLOEXEC);
        if (descriptor < 0) {
            const std::string failure = SystemFailure("cannot create a file beside it");
            return path + ": " + failure;
        }
        std::memcpy(pendingPath, name.data(), name.size());
        pathPending = 1;
    }

    std::string failure;
    // note: some file systems have no modes; the file is still written.
    (void)fchmod(descriptor, mode);
    std::FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        failure = SystemFailure("cannot write");
        close(descriptor);
    } else {
        int flushError = 0;
        try {
            const EarlyWriteBack early(descriptor, flushError);
            failure = write(file);
        } catch (...) {
            std::fclose(file);
            if (!unnamed) Settle(name.data(), nullptr);
            throw;
        }
        if (failure.empty() && flushError != 0) failure = std::string("cannot write: ") + std::strerror(flushError);
        if (failure.empty() && std::fflush(file) != 0) failure = SystemFailure("cannot write");
        if (failure.empty() && fsync(fileno(file)) != 0) failure = SystemFailure("cannot write");
        // note: an unnamed file lives only while a descriptor holds it.
        const int kept = unnamed ? dup(descriptor) : -1;
        if (unnamed && kept < 0 && failure.empty()) failure = SystemFailure("cannot write");
        if (std::fclose(file) != 0 && failure.empty()) failure = SystemFailure("cannot write");
        if (kept >= 0) {
            if (failure.empty()) failure = Publish(kept, name, path.c_str());
            close(kept);
        }
    }

    if (unnamed) return failure.empty() ? std::string() : path + ": " + failure;
    if (failure.empty()) failure = Settle(name.data(), path.c_str());
    else Settle(name.data(), nullptr);
    return failure.empty() ? std::string() : path + ": " + failure;
}

std::string WriteStreamAtomically(const std::string& path, const std::function<std::string(std::ostream& out)>& write)
{
    return WriteFileAtomically(path, [&](std::FILE* file) {
        FileBuffer buffer(file);
        std::ostream out(&buffer);
        std::string failure = write(out);
        if (buffer.error() == 0) return failure;
        return (failure.empty() ? std::string("cannot write") : failure) + ": " + std::strerror(buffer.error());
    });
}

}  // namespace vorlane

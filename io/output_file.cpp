#include "io/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace vorlane {

std::string WriteFileAtomically(const std::string& path,
                                const std::function<std::string(const std::string& temporaryPath)>& write)
{
    const std::filesystem::path target(path);
    if (target.filename().empty()) return path + ": names a directory, not a file";
    std::error_code ignored;
    if (std::filesystem::is_directory(target, ignored)) return path + ": is a directory";

    // note: the same directory, so the rename cannot cross file systems.
    const std::filesystem::path pattern = target.parent_path() / ("." + target.filename().string() + ".XXXXXX");
    std::string temporary = pattern.string();
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) return path + ": cannot create a file beside it: " + std::strerror(errno);
    temporary = name.data();
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, static_cast<mode_t>(0666) & ~mask);
    close(descriptor);

    const std::string failure = write(temporary);
    if (!failure.empty()) {
        std::remove(temporary.c_str());
        return path + ": " + failure;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return path + ": cannot write: " + reason;
    }
    return {};
}

}  // namespace vorlane

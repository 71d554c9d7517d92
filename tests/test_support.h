// Helpers shared by the core tests: captured faults and a scratch working directory.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "literal/fault_sink.h"

namespace vorlane::test {

// Collects every fault reported while it lives, as "caption|text".
class FaultCapture {
public:
    FaultCapture()
    {
        previous_ = SetFaultSink([this](const std::string& caption, const std::string& text) {
            faults_.push_back(caption + "|" + text);
        });
    }
    ~FaultCapture() { SetFaultSink(std::move(previous_)); }
    FaultCapture(const FaultCapture&) = delete;
    FaultCapture& operator=(const FaultCapture&) = delete;

    const std::vector<std::string>& faults() const { return faults_; }

private:
    FaultSink previous_;
    std::vector<std::string> faults_;
};

// Runs the test in a fresh empty working directory, removed afterwards, so
// the dump files of parallel tests never meet.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorlane-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vorlane::test

// Output files that appear whole or not at all.
#pragma once

#include <functional>
#include <string>

namespace vorlane {

// Writes to a fresh temporary file beside path through write, which returns
// an empty string or why it failed; renames it to path on success and
// removes it otherwise. The file gets the permissions a newly created file
// would. Returns an empty string or "<path>: <reason>" in one line.
std::string WriteFileAtomically(const std::string& path,
                                const std::function<std::string(const std::string& temporaryPath)>& write);

}  // namespace vorlane

// Files the programs write: never a wait on a FIFO, never a write through a
// link they did not make, and outputs that appear whole or not at all.
#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

namespace vorlane {

// Opens path for writing, created (0666 less the umask) or emptied, without
// blocking and without following a symbolic link as its last part. Anything
// but a regular file (a link, FIFO, device or directory) is refused untouched.
// Returns a blocking, close-on-exec descriptor, or -1 with the reason in reason.
int OpenRegularFileForWriting(const std::string& path, std::string& reason);

// Writes to a fresh temporary file beside path through write, which returns
// an empty string or why it failed; flushes it to disk and renames it to path
// on success and removes it otherwise. The file has no name till it is
// whole where the file system allows (nothing is left even by a kill);
// elsewhere a catchable signal that would end the process removes it
// first. A file past the size limit (SIGXFSZ) fails with the reason. path must be absent or a regular file, whose permissions the new
// one keeps (a new file gets 0666 less the umask); the old file is replaced,
// not rewritten, so other hard links to it keep the old contents. Returns an
// empty string or "<path>: <reason>" in one line, with the system's reason.
// One write at a time: the signal handler knows one temporary file.
std::string WriteFileAtomically(const std::string& path, const std::function<std::string(std::FILE* file)>& write);

// As WriteFileAtomically, through a stream; a failed write gives the
// system's reason after write's own message (or "cannot write").
std::string WriteStreamAtomically(const std::string& path, const std::function<std::string(std::ostream& out)>& write);

}  // namespace vorlane

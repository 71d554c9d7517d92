// Files the programs read: never a wait on a FIFO or a device, and a reason
// in words for anything that is not a regular file.
#pragma once

#include <string>

namespace vorlane {

// Opens path for reading without blocking: a directory, FIFO, socket or
// device is refused before or as it is opened (a link is followed). Returns
// a close-on-exec descriptor, or -1 with the reason in reason, a phrase to
// follow "<path>: " ("is a directory", "cannot open: <the system's>").
int OpenRegularFileForReading(const std::string& path, std::string& reason);

// The whole regular file at path in bytes, refused as above; also refused
// when it holds more than limit bytes. False with the reason otherwise.
bool ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason,
                     unsigned long long limit = ~0ull);

// The same for a file another names (an OBJ's material library, its
// textures): name is taken relative to folder and must stay inside it, a
// link leading out of it included; an absolute name or one through ".." is
// refused with the reason.
bool ReadRegularFileInFolder(const std::string& folder, const std::string& name, std::string& bytes,
                             std::string& reason, unsigned long long limit = ~0ull);

}  // namespace vorlane

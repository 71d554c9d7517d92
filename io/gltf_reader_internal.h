// The parts of reading a glTF file: its container, its JSON and the bytes its
// buffer views hold, over nlohmann's JSON. Internal to io/.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::gltf_reading {

using Json = nlohmann::json;

// Why a file cannot be read, in one short line; caught by ReadGltfMorph.
struct GltfFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Deeper nesting than this is refused before parsing: no glTF needs it, and
// it is where recursive readers run out of stack.
inline constexpr std::size_t MaxJsonDepth = 256;

// The deepest nesting of arrays and objects in text, brackets in strings not
// counted; stops counting past limit.
std::size_t JsonDepth(std::string_view text, std::size_t limit);

// The JSON document of a .gltf or .glb file's bytes, and a .glb's binary chunk.
struct GltfContainerParts {
    Json root;
    std::optional<std::string_view> binaryChunk;  // into the file's bytes
};
GltfContainerParts SplitContainer(std::string_view file, bool binary);

// Member key of object as a whole number in [0, limit], or fallback when
// absent; throws naming what when it is anything else.
std::size_t Whole(const Json& object, const char* key, const std::string& what, std::size_t fallback,
                  std::size_t limit = std::size_t(1) << 53);
// Element index of array member key of the root, checked against its size.
std::size_t Index(const Json& root, const char* array, const Json& object, const char* key, const std::string& what);
// object[key] when object is an object holding it, else null.
const Json* Member(const Json& object, const char* key);

// Buffers and buffer views of one file, read as they are first needed: a
// buffer that no used view names is never opened, nor any image.
class GltfBytes {
public:
    // folder: where relative uris point; nothing outside it is read.
    GltfBytes(const Json& root, std::string folder, std::optional<std::string_view> binaryChunk);
    // The bytes of buffer view index, decoded when meshopt-compressed.
    std::string_view View(std::size_t index);
    // The stride the view declares, 0 when none.
    std::size_t Stride(std::size_t index) const;

private:
    std::string_view Buffer(std::size_t index);
    std::string LoadUri(std::size_t index, const std::string& uri) const;

    const Json& root_;
    std::string folder_;
    std::optional<std::string_view> binaryChunk_;
    std::deque<std::string> owned_;  // bytes read from uris or decoded
    std::vector<std::optional<std::string_view>> buffers_;
    std::vector<std::optional<std::string_view>> views_;
};

// Decodes base64 text; false at the first byte that is not of it.
bool DecodeBase64(std::string_view text, std::string& out);

}  // namespace vorlane::gltf_reading

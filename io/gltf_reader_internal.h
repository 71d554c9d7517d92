// The parts of reading a glTF file: its container, its JSON and the bytes its
// buffer views hold, over nlohmann's JSON. Internal to io/.
#pragma once

#include <nlohmann/json.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
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
    // folder: where relative uris point; nothing outside it is read. With
    // no folder (bytes without a file), only data: uris are read.
    GltfBytes(const Json& root, std::optional<std::string> folder, std::optional<std::string_view> binaryChunk);
    // The bytes of buffer view index, decoded when meshopt-compressed.
    std::string_view View(std::size_t index);
    // The stride the view declares, 0 when none.
    std::size_t Stride(std::size_t index) const;
    // The bytes a data: uri or a file beside this one holds; what names the
    // item in the failure.
    std::string LoadUri(const std::string& what, const std::string& uri) const;

private:
    std::string_view Buffer(std::size_t index);

    const Json& root_;
    std::optional<std::string> folder_;
    std::optional<std::string_view> binaryChunk_;
    std::deque<std::string> owned_;  // bytes read from uris or decoded
    std::vector<std::optional<std::string_view>> buffers_;
    std::vector<std::optional<std::string_view>> views_;
};

// glTF's component types.
enum Component { Byte = 5120, UnsignedByte = 5121, Short = 5122, UnsignedShort = 5123, UnsignedInt = 5125, Float = 5126 };

std::size_t ComponentBytes(int type);

// One accessor's elements of components numbers each, stride bytes apart.
struct Elements {
    const unsigned char* first = nullptr;
    std::size_t count = 0, stride = 0, components = 0;
    int type = 0;
    bool normalized = false;

    double At(std::size_t element, std::size_t component) const
    {
        const unsigned char* at = first + element * stride + component * ComponentBytes(type);
        int8_t i8; uint8_t u8; int16_t i16; uint16_t u16; uint32_t u32; float f;
        switch (type) {
            case Byte: std::memcpy(&i8, at, 1); return normalized ? std::max(i8 / 127.0, -1.0) : i8;
            case UnsignedByte: std::memcpy(&u8, at, 1); return normalized ? u8 / 255.0 : u8;
            case Short: std::memcpy(&i16, at, 2); return normalized ? std::max(i16 / 32767.0, -1.0) : i16;
            case UnsignedShort: std::memcpy(&u16, at, 2); return normalized ? u16 / 65535.0 : u16;
            case UnsignedInt: std::memcpy(&u32, at, 4); return u32;
            default: std::memcpy(&f, at, 4); return f;
        }
    }
};

// Accessor index's elements, checked to be of type ("VEC3", ...) with
// components numbers of one of types, dense, and within their view.
Elements Locate(const Json& root, GltfBytes& bytes, std::size_t index, const std::string& what, const char* type,
                std::size_t components, std::initializer_list<int> types);

// Column-major 4 x 4, as glTF stores a node's matrix.
using Matrix = std::array<double, 16>;
inline constexpr Matrix Identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix Multiply(const Matrix& a, const Matrix& b);
// A node's matrix, or its translation, rotation and scale composed.
Matrix NodeMatrix(const Json& node, const std::string& what);

// Decodes base64 text; false at the first byte that is not of it.
bool DecodeBase64(std::string_view text, std::string& out);

}  // namespace vorlane::gltf_reading

// A glTF file's container and JSON: .glb chunks, depth, checked members.
#include <cstdint>
#include <cstring>

#include "io/gltf_reader_internal.h"

namespace vorlane::gltf_reading {

namespace {

uint32_t Word(std::string_view bytes, std::size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

Json ParseJson(std::string_view text)
{
    if (JsonDepth(text, MaxJsonDepth) > MaxJsonDepth)
        throw GltfFailure("the JSON nests deeper than " + std::to_string(MaxJsonDepth) + " levels");
    Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded()) throw GltfFailure("the JSON is not valid");
    if (!root.is_object()) throw GltfFailure("the JSON is not an object");
    return root;
}

}  // namespace

std::size_t JsonDepth(std::string_view text, std::size_t limit)
{
    std::size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
            if (deepest > limit) return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

GltfContainerParts SplitContainer(std::string_view file, bool binary)
{
    GltfContainerParts parts;
    if (!binary) {
        parts.root = ParseJson(file);
        return parts;
    }
    constexpr uint32_t Magic = 0x46546C67, JsonChunk = 0x4E4F534A, BinaryChunk = 0x004E4942;
    if (file.size() < 20 || Word(file, 0) != Magic) throw GltfFailure("not a .glb file (no glTF header)");
    if (Word(file, 4) != 2) throw GltfFailure("not glTF 2.0 (container version " + std::to_string(Word(file, 4)) + ")");
    const std::size_t length = Word(file, 8);
    if (length > file.size()) throw GltfFailure("the file is shorter than its header says");
    file = file.substr(0, length);
    std::size_t at = 12;
    bool first = true;
    while (at + 8 <= file.size()) {
        const std::size_t chunkLength = Word(file, at);
        const uint32_t type = Word(file, at + 4);
        at += 8;
        if (chunkLength > file.size() - at) throw GltfFailure("a chunk runs past the end of the file");
        const std::string_view chunk = file.substr(at, chunkLength);
        if (first && type != JsonChunk) throw GltfFailure("the first chunk is not JSON");
        if (first) parts.root = ParseJson(chunk);
        else if (type == BinaryChunk && !parts.binaryChunk) parts.binaryChunk = chunk;
        first = false;
        at += chunkLength;
    }
    if (first) throw GltfFailure("the file has no JSON chunk");
    return parts;
}

const Json* Member(const Json& object, const char* key)
{
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::size_t Whole(const Json& object, const char* key, const std::string& what, std::size_t fallback, std::size_t limit)
{
    const Json* value = Member(object, key);
    if (!value) return fallback;
    if (value->is_number_unsigned() && value->get<uint64_t>() <= limit) return value->get<std::size_t>();
    throw GltfFailure(what + "'s " + key + " is not a whole number up to " + std::to_string(limit));
}

std::size_t Index(const Json& root, const char* array, const Json& object, const char* key, const std::string& what)
{
    const Json* items = Member(root, array);
    const std::size_t count = items && items->is_array() ? items->size() : 0;
    if (!Member(object, key)) throw GltfFailure(what + " has no " + key);
    const std::size_t index = Whole(object, key, what, 0);
    if (index >= count) throw GltfFailure(what + "'s " + key + " is out of range");
    return index;
}

}  // namespace vorlane::gltf_reading

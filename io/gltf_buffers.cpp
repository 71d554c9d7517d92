// The bytes behind a glTF file's buffer views: the .glb's own chunk, data
// URIs and files beside it, and meshopt-compressed views decoded.
#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>

#include "files/input_file.h"
#include "io/gltf_reader_internal.h"

namespace vorlane::gltf_reading {

namespace {

constexpr const char* Meshopt = "EXT_meshopt_compression";

std::string Named(const char* what, std::size_t index) { return std::string(what) + " " + std::to_string(index); }

int Hex(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A relative uri as a path below folder, or a reason it is not one.
bool RelativePath(const std::string& uri, std::filesystem::path& out, std::string& reason)
{
    std::string decoded;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && Hex(uri[i + 1]) >= 0 && Hex(uri[i + 2]) >= 0) {
            decoded += static_cast<char>(Hex(uri[i + 1]) * 16 + Hex(uri[i + 2]));
            i += 2;
        } else {
            decoded += uri[i];
        }
    }
    const std::size_t colon = decoded.find(':'), slash = decoded.find('/');
    if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) {
        reason = "names another scheme or drive, not a file beside this one";
        return false;
    }
    if (decoded.empty() || decoded.find('\0') != std::string::npos || decoded.find('\\') != std::string::npos) {
        reason = "is not a file name";
        return false;
    }
    const std::filesystem::path path(decoded);
    if (path.is_absolute()) {
        reason = "is an absolute path, not a file beside this one";
        return false;
    }
    for (const std::filesystem::path& part : path) {
        if (part == "..") {
            reason = "leaves the file's folder";
            return false;
        }
    }
    out = path;
    return true;
}

std::string Decoded(std::string_view encoded, const Json& extension, const std::string& what, std::size_t byteLength)
{
    const std::size_t count = Whole(extension, "count", what, 0);
    const std::size_t stride = Whole(extension, "byteStride", what, 0, 256);
    const Json* mode = Member(extension, "mode");
    const Json* filter = Member(extension, "filter");
    const std::string modeName = mode && mode->is_string() ? mode->get<std::string>() : "";
    const std::string filterName = filter && filter->is_string() ? filter->get<std::string>() : "NONE";
    // note: no meshopt stream decodes to more than 64 bytes a byte, so a
    // count the encoded bytes cannot hold is refused before any memory is taken.
    if (stride == 0 || count > (64 * encoded.size() + 4096) / stride)
        throw GltfFailure(what + " claims more than its compressed bytes hold");
    if (count * stride > byteLength) throw GltfFailure(what + " decodes to more than its byteLength");
    std::string out(count * stride, '\0');
    int failed = -1;
    if (modeName == "ATTRIBUTES" && stride % 4 == 0) {
        failed = meshopt_decodeVertexBuffer(out.data(), count, stride, reinterpret_cast<const unsigned char*>(encoded.data()),
                                            encoded.size());
    } else if (modeName == "TRIANGLES" && (stride == 2 || stride == 4) && count % 3 == 0) {
        failed = meshopt_decodeIndexBuffer(out.data(), count, stride, reinterpret_cast<const unsigned char*>(encoded.data()),
                                           encoded.size());
    } else if (modeName == "INDICES" && (stride == 2 || stride == 4)) {
        failed = meshopt_decodeIndexSequence(out.data(), count, stride, reinterpret_cast<const unsigned char*>(encoded.data()),
                                             encoded.size());
    } else {
        throw GltfFailure(what + " has an unknown compression mode or stride");
    }
    if (failed != 0) throw GltfFailure(what + "'s compressed bytes are corrupt");
    if (filterName == "OCTAHEDRAL" && (stride == 4 || stride == 8) && modeName == "ATTRIBUTES")
        meshopt_decodeFilterOct(out.data(), count, stride);
    else if (filterName == "QUATERNION" && stride == 8 && modeName == "ATTRIBUTES")
        meshopt_decodeFilterQuat(out.data(), count, stride);
    else if (filterName == "EXPONENTIAL" && modeName == "ATTRIBUTES")
        meshopt_decodeFilterExp(out.data(), count, stride);
    else if (filterName != "NONE")
        throw GltfFailure(what + " has an unknown compression filter");
    return out;
}

}  // namespace

bool DecodeBase64(std::string_view text, std::string& out)
{
    static const auto table = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
        return t;
    }();
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    if (text.size() % 4 == 1) return false;
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int held = 0;
    for (const char c : text) {
        const int value = table[static_cast<unsigned char>(c)];
        if (value < 0) return false;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out += static_cast<char>((bits >> held) & 0xff);
        }
    }
    return true;
}

GltfBytes::GltfBytes(const Json& root, std::optional<std::string> folder, std::optional<std::string_view> binaryChunk)
    : root_(root), folder_(std::move(folder)), binaryChunk_(binaryChunk)
{
    const Json* buffers = Member(root, "buffers");
    const Json* views = Member(root, "bufferViews");
    buffers_.resize(buffers && buffers->is_array() ? buffers->size() : 0);
    views_.resize(views && views->is_array() ? views->size() : 0);
}

std::string GltfBytes::LoadUri(const std::string& what, const std::string& uri) const
{
    std::string bytes;
    if (uri.rfind("data:", 0) == 0) {
        const std::size_t comma = uri.find(',');
        if (comma == std::string::npos || comma < 12 || uri.compare(comma - 7, 7, ";base64") != 0)
            throw GltfFailure(what + "'s data URI is not base64");
        if (!DecodeBase64(std::string_view(uri).substr(comma + 1), bytes))
            throw GltfFailure(what + "'s data URI is not valid base64");
        return bytes;
    }
    std::filesystem::path relative;
    std::string reason;
    if (!RelativePath(uri, relative, reason)) throw GltfFailure(what + "'s uri " + reason);
    if (!folder_) throw GltfFailure(what + "'s uri names a file, but these bytes come from no folder");
    const std::filesystem::path path = std::filesystem::path(*folder_) / relative;
    // note: a link inside the folder may still lead out of it.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::canonical(folder_->empty() ? "." : *folder_, error);
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    const auto [end, _] = std::mismatch(base.begin(), base.end(), real.begin(), real.end());
    if (error || end != base.end()) throw GltfFailure(what + "'s uri leaves the file's folder");
    if (!ReadRegularFile(path.string(), bytes, reason)) throw GltfFailure(what + "'s file " + reason);
    return bytes;
}

std::string_view GltfBytes::Buffer(std::size_t index)
{
    if (buffers_[index]) return *buffers_[index];
    const Json& buffer = root_.at("buffers").at(index);
    const std::string what = Named("buffer", index);
    const std::size_t byteLength = Whole(buffer, "byteLength", what, 0);
    const Json* uri = Member(buffer, "uri");
    std::string_view bytes;
    if (uri) {
        if (!uri->is_string()) throw GltfFailure(what + "'s uri is not a string");
        bytes = owned_.emplace_back(LoadUri(what, uri->get<std::string>()));
    } else if (index == 0 && binaryChunk_) {
        bytes = *binaryChunk_;
    } else {
        throw GltfFailure(what + " holds no data");
    }
    if (bytes.size() < byteLength) throw GltfFailure(what + " is shorter than its byteLength");
    buffers_[index] = bytes.substr(0, byteLength);
    return *buffers_[index];
}

std::size_t GltfBytes::Stride(std::size_t index) const
{
    return Whole(root_.at("bufferViews").at(index), "byteStride", Named("buffer view", index), 0, 252);
}

std::string_view GltfBytes::View(std::size_t index)
{
    if (index >= views_.size()) throw GltfFailure(Named("buffer view", index) + " does not exist");
    if (views_[index]) return *views_[index];
    const Json& view = root_.at("bufferViews").at(index);
    const std::string what = Named("buffer view", index);
    const std::size_t byteLength = Whole(view, "byteLength", what, 0);
    const Json* extensions = Member(view, "extensions");
    const Json* compressed = extensions ? Member(*extensions, Meshopt) : nullptr;
    const Json& source = compressed ? *compressed : view;
    const std::string_view buffer = Buffer(Index(root_, "buffers", source, "buffer", what));
    const std::size_t offset = Whole(source, "byteOffset", what, 0);
    const std::size_t length = compressed ? Whole(source, "byteLength", what, 0) : byteLength;
    if (offset > buffer.size() || length > buffer.size() - offset) throw GltfFailure(what + " runs past the end of its buffer");
    const std::string_view bytes = buffer.substr(offset, length);
    views_[index] = compressed ? std::string_view(owned_.emplace_back(Decoded(bytes, *compressed, what, byteLength))) : bytes;
    return *views_[index];
}

}  // namespace vorlane::gltf_reading

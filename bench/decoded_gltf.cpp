#include "bench/decoded_gltf.h"

#include <meshoptimizer.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace vorlane::bench {

namespace {

using Json = nlohmann::json;
using Bytes = std::vector<unsigned char>;

Bytes Base64(const std::string& text)
{
    Bytes out;
    uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(digits, c);
        if (c == '=' || !at || c == '\0') continue;
        bits = bits << 6 | static_cast<uint32_t>(at - digits);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<unsigned char>(bits >> held));
        }
    }
    return out;
}

uint32_t U32(const Bytes& b, std::size_t at)
{
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

struct File {
    Json json;
    Bytes binary;

    // A view's bytes, decoded when meshopt packs it, and its element stride.
    Bytes View(std::size_t index, std::size_t& stride) const
    {
        const Json& view = json.at("bufferViews").at(index);
        if (view.contains("extensions") && view["extensions"].contains("EXT_meshopt_compression")) {
            const Json& m = view["extensions"]["EXT_meshopt_compression"];
            const std::size_t count = m.at("count"), offset = m.value("byteOffset", 0), length = m.at("byteLength");
            stride = m.at("byteStride");
            if (offset + length > binary.size()) throw std::runtime_error("a compressed view overruns the buffer");
            Bytes out(count * stride);
            const std::string mode = m.at("mode");
            const int status = mode == "TRIANGLES" ? meshopt_decodeIndexBuffer(out.data(), count, stride, binary.data() + offset, length)
                               : mode == "ATTRIBUTES" ? meshopt_decodeVertexBuffer(out.data(), count, stride, binary.data() + offset, length)
                                                      : -1;
            if (status != 0) throw std::runtime_error("a compressed view does not decode (mode " + mode + ")");
            return out;
        }
        if (view.value("buffer", 0) != 0) throw std::runtime_error("a view reads a buffer other than the file's own");
        const std::size_t offset = view.value("byteOffset", 0), length = view.at("byteLength");
        if (offset + length > binary.size()) throw std::runtime_error("a view overruns the buffer");
        stride = view.value("byteStride", 0);
        return Bytes(binary.begin() + static_cast<std::ptrdiff_t>(offset), binary.begin() + static_cast<std::ptrdiff_t>(offset + length));
    }

    // An accessor's elements as floats, normalised integers mapped to -1..1.
    std::vector<float> Floats(int index, int& width) const
    {
        const Json& a = json.at("accessors").at(static_cast<std::size_t>(index));
        const std::string type = a.at("type");
        width = type == "SCALAR" ? 1 : type == "VEC3" ? 3 : type == "VEC4" ? 4 : 0;
        const int component = a.at("componentType");
        const std::size_t size = component == 5120 || component == 5121 ? 1 : component == 5122 || component == 5123 ? 2 : 4;
        const bool normalized = a.value("normalized", false);
        std::size_t stride = 0;
        const Bytes bytes = View(a.at("bufferView"), stride);
        const std::size_t count = a.at("count"), offset = a.value("byteOffset", 0);
        if (stride == 0) stride = size * static_cast<std::size_t>(width);
        if (count > 0 && offset + (count - 1) * stride + size * static_cast<std::size_t>(width) > bytes.size())
            throw std::runtime_error("an accessor overruns its view");
        std::vector<float> out;
        for (std::size_t i = 0; i < count; ++i) {
            for (int k = 0; k < width; ++k) {
                const unsigned char* p = bytes.data() + offset + i * stride + static_cast<std::size_t>(k) * size;
                float v = 0.0f;
                switch (component) {
                case 5120: v = static_cast<float>(static_cast<int8_t>(*p)); if (normalized) v = std::fmax(v / 127.0f, -1.0f); break;
                case 5121: v = static_cast<float>(*p); if (normalized) v /= 255.0f; break;
                case 5122: { int16_t s; std::memcpy(&s, p, 2); v = static_cast<float>(s); if (normalized) v = std::fmax(v / 32767.0f, -1.0f); break; }
                case 5123: { uint16_t s; std::memcpy(&s, p, 2); v = static_cast<float>(s); if (normalized) v /= 65535.0f; break; }
                case 5125: { uint32_t s; std::memcpy(&s, p, 4); v = static_cast<float>(s); break; }
                case 5126: std::memcpy(&v, p, 4); break;
                default: throw std::runtime_error("an accessor of unknown component type");
                }
                out.push_back(v);
            }
        }
        return out;
    }

    std::vector<uint32_t> Indices(int index) const
    {
        const Json& a = json.at("accessors").at(static_cast<std::size_t>(index));
        const int component = a.at("componentType");
        std::size_t stride = 0;
        const Bytes bytes = View(a.at("bufferView"), stride);
        const std::size_t count = a.at("count"), size = component == 5125 ? 4 : component == 5123 ? 2 : 1;
        if (bytes.size() < count * size) throw std::runtime_error("the indices overrun their view");
        std::vector<uint32_t> out(count);
        for (std::size_t i = 0; i < count; ++i) {
            uint32_t v = 0;
            std::memcpy(&v, bytes.data() + i * size, size);
            out[i] = v;
        }
        return out;
    }
};

File Open(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot be read");
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    File file;
    if (bytes.size() >= 20 && std::memcmp(bytes.data(), "glTF", 4) == 0) {
        const uint32_t jsonLength = U32(bytes, 12);
        if (20 + static_cast<std::size_t>(jsonLength) > bytes.size()) throw std::runtime_error("a short JSON chunk");
        file.json = Json::parse(bytes.begin() + 20, bytes.begin() + 20 + jsonLength);
        const std::size_t bin = 20 + jsonLength;
        if (bin + 8 <= bytes.size()) {
            const uint32_t length = U32(bytes, bin);
            if (bin + 8 + length > bytes.size()) throw std::runtime_error("a short binary chunk");
            file.binary.assign(bytes.begin() + static_cast<std::ptrdiff_t>(bin + 8), bytes.begin() + static_cast<std::ptrdiff_t>(bin + 8 + length));
        }
    } else {
        file.json = Json::parse(bytes.begin(), bytes.end());
        const std::string uri = file.json.at("buffers").at(0).value("uri", "");
        const std::size_t comma = uri.find(',');
        if (uri.rfind("data:", 0) != 0 || comma == std::string::npos) throw std::runtime_error("buffer 0 is no data: uri");
        file.binary = Base64(uri.substr(comma + 1));
    }
    return file;
}

std::vector<Vec3> Vectors(const std::vector<float>& f)
{
    std::vector<Vec3> out(f.size() / 3);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = {f[3 * i], f[3 * i + 1], f[3 * i + 2]};
    return out;
}

Vec3 Unit(const Vec3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? Vec3{v.x / length, v.y / length, v.z / length} : v;
}

}  // namespace

DecodedMorph ReadDecodedMorph(const std::string& path)
{
    DecodedMorph out;
    try {
        const File file = Open(path);
        const Json& primitive = file.json.at("meshes").at(0).at("primitives").at(0);
        // note: a path's file holds its in-betweens first; the far end is the last target.
        const Json& target = primitive.at("targets").back();
        int width = 0;
        const std::vector<Vec3> base = Vectors(file.Floats(primitive.at("attributes").at("POSITION"), width));
        const std::vector<Vec3> offset = Vectors(file.Floats(target.at("POSITION"), width));
        if (offset.size() != base.size()) throw std::runtime_error("the morph target's positions are not one a vertex");
        // note: node 0 holds the mesh; quantised files scale and move it.
        const Json& node = file.json.at("nodes").at(0);
        float scale[3] = {1.0f, 1.0f, 1.0f}, move[3] = {0.0f, 0.0f, 0.0f};
        for (int k = 0; k < 3; ++k) {
            if (node.contains("scale")) scale[k] = node["scale"].at(static_cast<std::size_t>(k)).get<float>();
            if (node.contains("translation")) move[k] = node["translation"].at(static_cast<std::size_t>(k)).get<float>();
        }
        const auto place = [&](const Vec3& p) { return Vec3{scale[0] * p.x + move[0], scale[1] * p.y + move[1], scale[2] * p.z + move[2]}; };
        for (std::size_t i = 0; i < base.size(); ++i) {
            out.startPositions.push_back(place(base[i]));
            out.endPositions.push_back(place(Vec3{base[i].x + offset[i].x, base[i].y + offset[i].y, base[i].z + offset[i].z}));
        }
        if (primitive.at("attributes").contains("NORMAL") && target.contains("NORMAL")) {
            const std::vector<Vec3> n = Vectors(file.Floats(primitive["attributes"]["NORMAL"], width));
            const std::vector<Vec3> d = Vectors(file.Floats(target["NORMAL"], width));
            if (n.size() != base.size() || d.size() != base.size()) throw std::runtime_error("normals are not one a vertex");
            for (std::size_t i = 0; i < n.size(); ++i) {
                out.startNormals.push_back(Unit(n[i]));
                out.endNormals.push_back(Unit(Vec3{n[i].x + d[i].x, n[i].y + d[i].y, n[i].z + d[i].z}));
            }
        }
        // note: a mesh at rest at full weight shows base plus target first.
        const Json& mesh = file.json.at("meshes").at(0);
        if (mesh.contains("weights") && mesh["weights"].back().get<double>() == 1.0) {
            std::swap(out.startPositions, out.endPositions);
            std::swap(out.startNormals, out.endNormals);
        }
        const std::vector<uint32_t> corners = file.Indices(primitive.at("indices"));
        for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
            for (std::size_t k = 0; k < 3; ++k)
                if (corners[t + k] >= base.size()) throw std::runtime_error("an index out of range");
            out.triangles.push_back({static_cast<int32_t>(corners[t]), static_cast<int32_t>(corners[t + 1]), static_cast<int32_t>(corners[t + 2])});
        }
    } catch (const std::exception& e) {
        out = DecodedMorph{};
        out.error = path + ": " + e.what();
    }
    return out;
}

}  // namespace vorlane::bench

#include "io/gltf_colour.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

namespace vorlane::gltf_colour {

namespace {

using gltf_reading::GltfFailure;
using gltf_reading::Json;
using gltf_reading::Member;

constexpr int Repeat = 10497, Mirrored = 33648, ClampToEdge = 33071;
constexpr std::size_t MaxPixels = std::size_t(1) << 26;

std::size_t BigEndian(std::string_view bytes, std::size_t at, std::size_t length)
{
    std::size_t value = 0;
    for (std::size_t i = 0; i < length; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A texel coordinate of an image n texels wide, wrapped as mode says.
std::size_t Wrapped(double x, std::size_t n, int mode)
{
    const double size = static_cast<double>(n);
    if (mode == ClampToEdge) return static_cast<std::size_t>(std::clamp(x, 0.0, size - 1.0));
    const double period = mode == Mirrored ? 2.0 * size : size;
    double k = std::floor(x - period * std::floor(x / period));
    if (!(k >= 0.0 && k < period)) k = 0.0;  // note: rounding at the period's very edge.
    const std::size_t i = static_cast<std::size_t>(k);
    return i < n ? i : 2 * n - 1 - i;
}

double Channel(const tinygltf::Image& image, std::size_t x, std::size_t y, int c)
{
    const std::size_t at = (y * static_cast<std::size_t>(image.width) + x) * static_cast<std::size_t>(image.component) +
                           static_cast<std::size_t>(c);
    static const auto table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = ToLinear(i / 255.0);
        return t;
    }();
    if (image.bits == 8) return table[image.image[at]];
    const unsigned value = image.image[2 * at] | unsigned{image.image[2 * at + 1]} << 8;
    return ToLinear(value / 65535.0);
}

const Json* Object(const Json& root, const char* array, const Json& object, const char* key, const std::string& what,
                   std::size_t& index)
{
    if (!Member(object, key)) return nullptr;
    index = gltf_reading::Index(root, array, object, key, what);
    return &root.at(array).at(index);
}

Texture Decode(const Json& root, gltf_reading::GltfBytes& bytes, const Json& texture, const std::string& what)
{
    Texture out;
    std::size_t imageIndex = 0, samplerIndex = 0;
    const Json* image = Object(root, "images", texture, "source", what, imageIndex);
    const std::string name = "image " + std::to_string(imageIndex);
    std::string data;
    if (Member(*image, "bufferView")) {
        data = std::string(bytes.View(gltf_reading::Index(root, "bufferViews", *image, "bufferView", name)));
    } else {
        const Json* uri = Member(*image, "uri");
        if (!uri || !uri->is_string()) throw GltfFailure(name + " has neither a uri nor a buffer view");
        data = bytes.LoadUri(name, uri->get<std::string>());
    }
    out = DecodeImage(data, name, static_cast<int>(imageIndex));
    if (const Json* sampler = Object(root, "samplers", texture, "sampler", what, samplerIndex)) {
        const std::string samplerName = "sampler " + std::to_string(samplerIndex);
        out.wrapS = static_cast<int>(gltf_reading::Whole(*sampler, "wrapS", samplerName, Repeat, 1 << 16));
        out.wrapT = static_cast<int>(gltf_reading::Whole(*sampler, "wrapT", samplerName, Repeat, 1 << 16));
    }
    return out;
}

}  // namespace

double ToLinear(double shown)
{
    return shown <= 0.04045 ? shown / 12.92 : std::pow((shown + 0.055) / 1.055, 2.4);
}

double ToShown(double linear)
{
    return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

Vec3 Shown(const Linear& colour)
{
    const auto shown = [](double c) { return static_cast<float>(ToShown(std::clamp(c, 0.0, 1.0))); };
    return {shown(colour[0]), shown(colour[1]), shown(colour[2])};
}

bool ImageSize(std::string_view bytes, std::size_t& width, std::size_t& height)
{
    static constexpr char Png[] = "\x89PNG\r\n\x1a\n";
    if (bytes.size() >= 24 && bytes.compare(0, 8, std::string_view(Png, 8)) == 0) {
        width = BigEndian(bytes, 16, 4);
        height = BigEndian(bytes, 20, 4);
        return true;
    }
    if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xD8)
        return false;
    // note: the frame header follows segments that each say their length.
    for (std::size_t at = 2; at + 9 <= bytes.size();) {
        if (static_cast<unsigned char>(bytes[at]) != 0xFF) return false;
        const unsigned marker = static_cast<unsigned char>(bytes[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            height = BigEndian(bytes, at + 5, 2);
            width = BigEndian(bytes, at + 7, 2);
            return true;
        }
        at += 2 + BigEndian(bytes, at + 2, 2);
    }
    return false;
}

Texture DecodeImage(std::string_view data, const std::string& name, int index)
{
    Texture out;
    std::size_t width = 0, height = 0;
    if (!ImageSize(data, width, height)) throw GltfFailure(name + " is neither PNG nor JPEG");
    if (width == 0 || height == 0 || width > MaxPixels / std::max<std::size_t>(height, 1) || data.size() > INT_MAX)
        throw GltfFailure(name + " is larger than " + std::to_string(MaxPixels) + " pixels");
    std::string error, warning;
    if (!tinygltf::LoadImageData(&out.image, index, &error, &warning, 0, 0,
                                 reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()),
                                 nullptr) ||
        out.image.component != 4 || (out.image.bits != 8 && out.image.bits != 16))
        throw GltfFailure(name + " cannot be decoded");
    return out;
}

Paint PaintOf(const Json& root, gltf_reading::GltfBytes& bytes, const Json& primitive, Textures& textures,
              const std::string& what)
{
    Paint paint;
    std::size_t materialIndex = 0;
    const Json* material = Object(root, "materials", primitive, "material", what, materialIndex);
    const Json* pbr = material ? Member(*material, "pbrMetallicRoughness") : nullptr;
    if (!pbr) return paint;
    const std::string name = "material " + std::to_string(materialIndex);
    if (const Json* factor = Member(*pbr, "baseColorFactor")) {
        if (!factor->is_array() || factor->size() != 4) throw GltfFailure(name + "'s baseColorFactor is malformed");
        for (std::size_t k = 0; k < 3; ++k) {
            const Json& value = (*factor)[k];
            if (!value.is_number() || !std::isfinite(value.get<double>()))
                throw GltfFailure(name + "'s baseColorFactor is malformed");
            paint.factor[k] = std::clamp(value.get<double>(), 0.0, 1.0);
            paint.tinted = paint.tinted || paint.factor[k] != 1.0;
        }
    }
    const Json* info = Member(*pbr, "baseColorTexture");
    std::size_t textureIndex = 0;
    const Json* texture = info ? Object(root, "textures", *info, "index", name, textureIndex) : nullptr;
    // note: a texture whose only image is in an extension's format is left out.
    if (!texture || !Member(*texture, "source")) return paint;
    paint.texCoord = gltf_reading::Whole(*info, "texCoord", name, 0, 64);
    auto found = textures.find(textureIndex);
    if (found == textures.end())
        found = textures.emplace(textureIndex, Decode(root, bytes, *texture, "texture " + std::to_string(textureIndex))).first;
    paint.texture = &found->second;
    return paint;
}

Linear Sample(const Texture& texture, double u, double v)
{
    const tinygltf::Image& image = texture.image;
    const auto width = static_cast<std::size_t>(image.width), height = static_cast<std::size_t>(image.height);
    if (!std::isfinite(u)) u = 0.0;
    if (!std::isfinite(v)) v = 0.0;
    const double x = u * static_cast<double>(width) - 0.5, y = v * static_cast<double>(height) - 0.5;
    const double fx = std::floor(x), fy = std::floor(y);
    const double ax = x - fx, ay = y - fy;
    const std::size_t x0 = Wrapped(fx, width, texture.wrapS), x1 = Wrapped(fx + 1.0, width, texture.wrapS);
    const std::size_t y0 = Wrapped(fy, height, texture.wrapT), y1 = Wrapped(fy + 1.0, height, texture.wrapT);
    Linear out{};
    for (int c = 0; c < 3; ++c) {
        const double top = (1 - ax) * Channel(image, x0, y0, c) + ax * Channel(image, x1, y0, c);
        const double bottom = (1 - ax) * Channel(image, x0, y1, c) + ax * Channel(image, x1, y1, c);
        out[static_cast<std::size_t>(c)] = (1 - ay) * top + ay * bottom;
    }
    return out;
}

}  // namespace vorlane::gltf_colour

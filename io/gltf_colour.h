// The colour a glTF material gives a vertex: base-colour factor, vertex
// colour and base-colour texture, decoded and sampled. Internal to io/.
#pragma once

#include <tiny_gltf.h>

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "geometry/vec3.h"
#include "io/gltf_reader_internal.h"

namespace vorlane::gltf_colour {

// Red, green, blue in linear light, as glTF computes with them.
using Linear = std::array<double, 3>;

// sRGB's transfer: a shown value in 0..1 to linear light and back.
double ToLinear(double shown);
double ToShown(double linear);
// A linear colour as shown, each channel clamped to 0..1.
Vec3 Shown(const Linear& colour);

// A decoded base-colour image (RGBA, 8 or 16 bits a channel, rows from the
// top) and how its sampler wraps coordinates.
struct Texture {
    tinygltf::Image image;
    int wrapS = 10497;  // glTF's REPEAT
    int wrapT = 10497;
};
// Textures decoded so far, by texture index.
using Textures = std::map<std::size_t, Texture>;

// The size a PNG or JPEG header gives; false for anything else.
bool ImageSize(std::string_view bytes, std::size_t& width, std::size_t& height);

// A PNG or JPEG image's bytes decoded, wrapping as glTF's default sampler
// (REPEAT); index only labels it for the decoder. Throws GltfFailure, name
// leading the reason, for anything else, over 2^26 pixels or corrupt.
Texture DecodeImage(std::string_view data, const std::string& name, int index = 0);

// What a primitive's material paints it with.
struct Paint {
    Linear factor{1.0, 1.0, 1.0};
    const Texture* texture = nullptr;  // into the Textures given
    std::size_t texCoord = 0;          // the TEXCOORD_n the texture reads
    bool tinted = false;               // a factor other than white
};

// The primitive's material (glTF's white default without one), its texture
// decoded into textures on first use. Throws GltfFailure for an image that
// is neither PNG nor JPEG, too large (over 2^26 pixels) or corrupt.
Paint PaintOf(const gltf_reading::Json& root, gltf_reading::GltfBytes& bytes, const gltf_reading::Json& primitive,
              Textures& textures, const std::string& what);

// The texture's linear colour at (u, v), bilinear, wrapped by its sampler;
// (0, 0) is the image's top left corner.
Linear Sample(const Texture& texture, double u, double v);

}  // namespace vorlane::gltf_colour

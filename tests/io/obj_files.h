// OBJ files with materials, written by the tests themselves: the cube with
// a material by face, and PNG textures of given pixels.
#pragma once

#include <png.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh_files.h"

namespace vorlane::test {

// An RGB PNG of width by height pixels, rows from the top, by libpng.
inline std::string RgbPng(unsigned width, unsigned height, const std::vector<uint8_t>& pixels)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string out(size, '\0');
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    return out;
}

// The cube of CubeCorners and CubeQuads, quad q under "usemtl materials[q]",
// its library named library.
inline std::string MaterialCubeObj(const std::array<const char*, 6>& materials, const std::string& library)
{
    std::string text = "mtllib " + library + "\n";
    for (const Vec3& p : CubeCorners())
        text += "v " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    for (std::size_t q = 0; q < 6; ++q) {
        text += std::string("usemtl ") + materials[q] + "\nf";
        for (const int corner : CubeQuads()[q]) text += " " + std::to_string(corner + 1);
        text += "\n";
    }
    return text;
}

}  // namespace vorlane::test

// Reading a glTF file's accessors and node transforms.
#include <algorithm>
#include <cmath>
#include <vector>

#include "io/gltf_reader_internal.h"

namespace vorlane::gltf_reading {

namespace {

std::vector<double> Numbers(const Json& node, const char* key, std::size_t count, const std::string& what)
{
    const Json* value = Member(node, key);
    std::vector<double> out;
    if (!value) return out;
    if (!value->is_array() || value->size() != count) throw GltfFailure(what + "'s " + key + " is malformed");
    for (const Json& number : *value) {
        if (!number.is_number() || !std::isfinite(number.get<double>())) throw GltfFailure(what + "'s " + key + " is malformed");
        out.push_back(number.get<double>());
    }
    return out;
}

}  // namespace

std::size_t ComponentBytes(int type)
{
    switch (type) {
        case Byte: case UnsignedByte: return 1;
        case Short: case UnsignedShort: return 2;
        case UnsignedInt: case Float: return 4;
        default: return 0;
    }
}

Elements Locate(const Json& root, GltfBytes& bytes, std::size_t index, const std::string& what, const char* type,
                std::size_t components, std::initializer_list<int> types)
{
    const Json& accessor = root.at("accessors").at(index);
    Elements out;
    const Json* typeName = Member(accessor, "type");
    const Json* componentType = Member(accessor, "componentType");
    out.type = componentType && componentType->is_number_integer() ? componentType->get<int>() : 0;
    bool known = false;
    for (const int allowed : types) known = known || out.type == allowed;
    if (!typeName || *typeName != type || !known) throw GltfFailure(what + " has an unexpected element type");
    const Json* normalized = Member(accessor, "normalized");
    out.normalized = normalized && normalized->is_boolean() && normalized->get<bool>();
    if (out.normalized && (out.type == Float || out.type == UnsignedInt)) throw GltfFailure(what + " is normalized floats");
    if (Member(accessor, "sparse") || !Member(accessor, "bufferView")) throw GltfFailure(what + " is sparse or has no buffer view");
    const std::size_t view = Index(root, "bufferViews", accessor, "bufferView", what);
    const std::string_view data = bytes.View(view);
    const std::size_t elementBytes = ComponentBytes(out.type) * components;
    out.components = components;
    out.count = Whole(accessor, "count", what, 0, std::size_t(1) << 40);
    out.stride = bytes.Stride(view) != 0 ? bytes.Stride(view) : elementBytes;
    const std::size_t offset = Whole(accessor, "byteOffset", what, 0, std::size_t(1) << 40);
    // note: each bound was checked above, so the products cannot wrap.
    const std::size_t span = out.count == 0 ? 0 : offset + out.stride * (out.count - 1) + elementBytes;
    if (out.stride < elementBytes || span > data.size()) throw GltfFailure(what + " runs past the end of its buffer");
    out.first = reinterpret_cast<const unsigned char*>(data.data()) + offset;
    return out;
}

Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) out[4 * c + r] += a[4 * k + r] * b[4 * c + k];
    return out;
}

Matrix NodeMatrix(const Json& node, const std::string& what)
{
    const std::vector<double> matrix = Numbers(node, "matrix", 16, what);
    if (!matrix.empty()) {
        Matrix out;
        std::copy(matrix.begin(), matrix.end(), out.begin());
        return out;
    }
    const std::vector<double> t = Numbers(node, "translation", 3, what);
    const std::vector<double> q = Numbers(node, "rotation", 4, what);
    const std::vector<double> s = Numbers(node, "scale", 3, what);
    Matrix translate = Identity, rotate = Identity, scale = Identity;
    if (!t.empty()) std::copy(t.begin(), t.end(), translate.begin() + 12);
    if (!q.empty()) {
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        rotate = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                  2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                  2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0, 0, 0, 0, 1};
    }
    if (!s.empty()) scale[0] = s[0], scale[5] = s[1], scale[10] = s[2];
    return Multiply(translate, Multiply(rotate, scale));
}

}  // namespace vorlane::gltf_reading

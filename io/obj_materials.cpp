#include "io/obj_materials.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "files/input_file.h"
#include "io/gltf_reader_internal.h"
#include "io/mesh_reader_internal.h"

namespace vorlane::mesh_reading {

namespace {

constexpr int ClampToEdge = 33071;
// note: far more than any real library; a hostile one is not read whole.
constexpr unsigned long long MaxLibraryBytes = 1ull << 26;
constexpr unsigned long long MaxImageBytes = 1ull << 28;

// An OBJ index (from 1, or negative counting back from the last) as one
// from 0 below count; -1 where it is none.
int32_t Resolved(std::string_view token, std::size_t count)
{
    long long value = 0;
    if (token.empty()) return -1;
    const bool negative = token[0] == '-';
    if (!ParseInt(negative || token[0] == '+' ? token.substr(1) : token, 0, value)) return -1;
    const long long index = negative ? static_cast<long long>(count) - value : value - 1;
    return index >= 0 && index < static_cast<long long>(count) ? static_cast<int32_t>(index) : -1;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// What follows a keyword on its line, blanks trimmed.
std::string_view AfterKeyword(std::string_view line, std::string_view keyword)
{
    return Trimmed(Trimmed(line).substr(keyword.size()));
}

// map_Kd's file name after its options ("-clamp on", "-s 1 1 1", ...).
std::string_view TextureName(std::string_view rest, bool& clamped)
{
    std::vector<std::string_view> tokens;
    SplitTokens(rest, tokens);
    std::size_t i = 0;
    float ignored = 0.0f;
    while (i < tokens.size() && tokens[i].size() > 1 && tokens[i][0] == '-') {
        const std::string_view option = tokens[i++];
        if (option == "-clamp" && i < tokens.size()) clamped = tokens[i] == "on";
        while (i < tokens.size() && (ParseFiniteFloat(tokens[i], ignored) || tokens[i] == "on" || tokens[i] == "off" ||
                                     (option == "-imfchan" && tokens[i].size() == 1) ||
                                     (option == "-bm" && i + 1 < tokens.size())))
            ++i;
    }
    if (i >= tokens.size()) return {};
    const char* begin = tokens[i].data();
    return Trimmed(std::string_view(begin, static_cast<std::size_t>(rest.data() + rest.size() - begin)));
}

void ReadLibrary(std::string_view bytes, const std::string& library, ObjMaterials& out)
{
    LineCursor cursor(bytes);
    std::string_view line;
    std::vector<std::string_view> tokens;
    ObjMaterial* current = nullptr;
    while (cursor.Next(line)) {
        line = WithoutComment(line);
        SplitTokens(line, tokens);
        if (tokens.empty()) continue;
        if (tokens[0] == "newmtl") {
            const std::string name(AfterKeyword(line, "newmtl"));
            current = &out.byName.insert_or_assign(name, ObjMaterial{}).first->second;
        } else if (current && tokens[0] == "Kd" && tokens.size() >= 2) {
            float value[3] = {1.0f, 1.0f, 1.0f};
            bool numbers = true;
            for (std::size_t k = 0; k < 3 && numbers; ++k)
                numbers = ParseFiniteFloat(tokens[std::min(k + 1, tokens.size() - 1)], value[k]);
            // note: "Kd spectral" and "Kd xyz" name no colour we can show.
            if (numbers)
                for (std::size_t k = 0; k < 3; ++k)
                    current->colour[k] = gltf_colour::ToLinear(std::clamp(static_cast<double>(value[k]), 0.0, 1.0));
        } else if (current && tokens[0] == "map_Kd") {
            current->textureName = TextureName(AfterKeyword(line, "map_Kd"), current->clamped);
            current->library = library;
        }
    }
}

// The texture material names, decoded once for every material naming it.
void LoadTexture(ObjMaterial& material, const std::string& folder, std::map<std::string, int>& loaded,
                 ObjMaterials& out, std::vector<std::string>& warnings)
{
    const std::string key = material.textureName + (material.clamped ? "\n" : "");
    if (const auto known = loaded.find(key); known != loaded.end()) {
        material.texture = known->second;
        return;
    }
    loaded[key] = -1;
    std::string image, reason;
    if (!ReadRegularFileInFolder(folder, material.textureName, image, reason, MaxImageBytes)) {
        warnings.push_back("texture " + Shown(material.textureName) + " of " + Shown(material.library) + " " + reason +
                           "; its material shows its colour alone");
        return;
    }
    try {
        out.textures.push_back(gltf_colour::DecodeImage(image, "texture " + Shown(material.textureName)));
    } catch (const gltf_reading::GltfFailure& failure) {
        warnings.push_back(std::string(failure.what()) + "; its material shows its colour alone");
        return;
    }
    if (material.clamped) out.textures.back().wrapS = out.textures.back().wrapT = ClampToEdge;
    material.texture = loaded[key] = static_cast<int>(out.textures.size() - 1);
}

// By reader face, the noted f line it is; -1 where none matches. The
// reader keeps the file's order but may pass over a face it cannot take.
std::vector<int32_t> FaceLines(const ObjPaintLines& lines, const std::vector<int32_t>& faceCorners,
                               const std::vector<std::size_t>& faceStarts)
{
    const auto corners = [](const std::vector<int32_t>& all, const std::vector<std::size_t>& starts, std::size_t f) {
        const std::size_t end = f + 1 < starts.size() ? starts[f + 1] : all.size();
        return std::vector<int32_t>(all.begin() + static_cast<std::ptrdiff_t>(starts[f]),
                                    all.begin() + static_cast<std::ptrdiff_t>(end));
    };
    std::vector<int32_t> out(faceStarts.size(), -1);
    std::size_t next = 0;
    for (std::size_t f = 0; f < faceStarts.size() && next < lines.starts.size(); ++f) {
        const std::vector<int32_t> face = corners(faceCorners, faceStarts, f);
        for (std::size_t ahead = next; ahead < lines.starts.size() && ahead < next + 8; ++ahead) {
            if (corners(lines.points, lines.starts, ahead) != face) continue;
            out[f] = static_cast<int32_t>(ahead);
            next = ahead + 1;
            break;
        }
    }
    return out;
}

}  // namespace

bool NoteObjFace(const std::vector<std::string_view>& corners, std::size_t vertices, ObjPaintLines& lines)
{
    const std::size_t start = lines.points.size();
    for (const std::string_view corner : corners) {
        const std::size_t slash = corner.find('/');
        const int32_t point = Resolved(corner.substr(0, slash), vertices);
        if (point < 0) {
            lines.points.resize(start);
            lines.uvs.resize(start);
            return false;
        }
        lines.points.push_back(point);
        const std::size_t second = slash == std::string_view::npos ? slash : corner.find('/', slash + 1);
        lines.uvs.push_back(slash == std::string_view::npos
                                ? -1
                                : Resolved(corner.substr(slash + 1, second == std::string_view::npos ? second : second - slash - 1),
                                           lines.texcoords.size()));
    }
    lines.starts.push_back(start);
    lines.material.push_back(lines.current);
    return true;
}

ObjMaterials ReadObjMaterials(const ObjPaintLines& lines, const std::optional<std::string>& folder,
                              std::vector<std::string>& warnings)
{
    ObjMaterials out;
    for (const std::string& library : lines.libraries) {
        std::string bytes, reason = "is not read: these bytes come from no folder";
        if (!folder || !ReadRegularFileInFolder(*folder, library, bytes, reason, MaxLibraryBytes)) {
            warnings.push_back("material library " + Shown(library) + " " + reason + "; its materials are left out");
            continue;
        }
        ReadLibrary(bytes, library, out);
    }
    // note: only the textures of materials some face uses are decoded.
    std::map<std::string, int> loaded;
    for (const std::string& name : lines.names) {
        const auto found = out.byName.find(name);
        if (found != out.byName.end() && !found->second.textureName.empty())
            LoadTexture(found->second, *folder, loaded, out, warnings);
    }
    return out;
}

std::vector<Vec3> ObjPointColours(const ObjPaintLines& lines, const ObjMaterials& materials,
                                  const std::vector<int32_t>& faceCorners, const std::vector<std::size_t>& faceStarts,
                                  std::size_t points, const std::vector<Vec3>& vertexColours)
{
    std::vector<const ObjMaterial*> known(lines.names.size(), nullptr);
    bool any = false;
    for (std::size_t m = 0; m < lines.names.size(); ++m) {
        const auto found = materials.byName.find(lines.names[m]);
        known[m] = found == materials.byName.end() ? nullptr : &found->second;
        any = any || known[m];
    }
    if (!any) return {};
    const std::vector<int32_t> faceLine = FaceLines(lines, faceCorners, faceStarts);
    std::vector<double> sums(4 * points, 0.0);
    struct CornerHash {
        std::size_t operator()(const std::array<int32_t, 3>& k) const
        {
            const uint64_t high = static_cast<uint32_t>(k[0]), low = static_cast<uint32_t>(k[1]);
            return static_cast<std::size_t>(((high << 32 | low) * 0x9E3779B97F4A7C15ull) ^ static_cast<uint32_t>(k[2]));
        }
    };
    std::unordered_set<std::array<int32_t, 3>, CornerHash> seen;
    for (std::size_t f = 0; f < faceStarts.size(); ++f) {
        const int32_t at = faceLine[f];
        const int32_t m = at < 0 ? -1 : lines.material[static_cast<std::size_t>(at)];
        const ObjMaterial* material = m < 0 ? nullptr : known[static_cast<std::size_t>(m)];
        const std::size_t begin = faceStarts[f], end = f + 1 < faceStarts.size() ? faceStarts[f + 1] : faceCorners.size();
        for (std::size_t c = begin; c < end; ++c) {
            const int32_t point = faceCorners[c];
            if (point < 0 || static_cast<std::size_t>(point) >= points) continue;
            const int32_t uv = at < 0 ? -1 : lines.uvs[lines.starts[static_cast<std::size_t>(at)] + (c - begin)];
            if (!seen.insert({point, m, uv}).second) continue;
            gltf_colour::Linear colour{1.0, 1.0, 1.0};
            if (material) {
                colour = material->colour;
                if (material->texture >= 0 && uv >= 0) {
                    const std::array<float, 2>& t = lines.texcoords[static_cast<std::size_t>(uv)];
                    // note: OBJ counts v up from the image's bottom row.
                    const gltf_colour::Linear texel = gltf_colour::Sample(
                        materials.textures[static_cast<std::size_t>(material->texture)], t[0], 1.0 - double{t[1]});
                    for (std::size_t k = 0; k < 3; ++k) colour[k] *= texel[k];
                }
            }
            if (static_cast<std::size_t>(point) < vertexColours.size())
                for (std::size_t k = 0; k < 3; ++k)
                    colour[k] *= gltf_colour::ToLinear((&vertexColours[static_cast<std::size_t>(point)].x)[k]);
            double* sum = &sums[4 * static_cast<std::size_t>(point)];
            for (std::size_t k = 0; k < 3; ++k) sum[k] += colour[k];
            sum[3] += 1.0;
        }
    }
    std::vector<Vec3> out(points, Vec3{1.0f, 1.0f, 1.0f});
    for (std::size_t p = 0; p < points; ++p) {
        const double* sum = &sums[4 * p];
        if (sum[3] > 0.0) out[p] = gltf_colour::Shown({sum[0] / sum[3], sum[1] / sum[3], sum[2] / sum[3]});
    }
    return out;
}

}  // namespace vorlane::mesh_reading

// ASCII OFF and its ST, C and N variants: a header line, the counts, one
// vertex per line (values after the three coordinates ignored), one face per
// line (values after its corners ignored). '#' starts a comment anywhere.
#include <algorithm>
#include <string>
#include <vector>

#include "io/mesh_reader_internal.h"

namespace vorlane::mesh_reading {

namespace {

// The lines that hold anything once comments are cut.
class ContentLines {
public:
    explicit ContentLines(std::string_view bytes) : lines_(bytes) {}

    bool Next(std::vector<std::string_view>& tokens)
    {
        std::string_view line;
        while (lines_.Next(line)) {
            SplitTokens(WithoutComment(line), tokens);
            if (!tokens.empty()) return true;
        }
        return false;
    }
    std::size_t Number() const { return lines_.Number(); }
    double Fraction() const { return lines_.Fraction(); }

private:
    LineCursor lines_;
};

}  // namespace

ModelTable ReadOff(std::string_view bytes, const ReadMeter& progress, std::vector<int32_t>* renumbered)
{
    ContentLines lines(bytes);
    std::vector<std::string_view> tokens;
    if (!lines.Next(tokens)) throw ReadFailure("the file holds no OFF header");
    const std::size_t headerLine = lines.Number();

    const std::string_view keyword = tokens[0];
    std::size_t prefix = 0;
    if (keyword.substr(prefix, 2) == "ST") prefix += 2;
    if (keyword.substr(prefix, 1) == "C") prefix += 1;
    if (keyword.substr(prefix, 1) == "N") prefix += 1;
    if (keyword.substr(prefix) == "4OFF" || keyword.substr(prefix) == "nOFF")
        throw ReadFailure("only three-dimensional OFF is supported, not " + Shown(keyword));
    if (keyword.substr(prefix) != "OFF")
        throw ReadFailure("the file does not start with an OFF header (found " + Shown(keyword) + ")");
    if (tokens.size() > 1 && tokens[1] == "BINARY") throw ReadFailure("binary OFF is not supported");

    std::size_t countLine = headerLine;
    if (tokens.size() > 1) {
        tokens.erase(tokens.begin());
    } else {
        if (!lines.Next(tokens)) throw ReadFailure("truncated: the vertex and face counts are missing");
        countLine = lines.Number();
    }
    long long vertexCount = 0;
    long long faceCount = 0;
    long long edges = 0;
    if (tokens.size() < 2 || tokens.size() > 3 || !ParseInt(tokens[0], 0, vertexCount) ||
        !ParseInt(tokens[1], 0, faceCount) || (tokens.size() == 3 && !ParseInt(tokens[2], 0, edges)))
        throw ReadFailure(AtLine(countLine) + "expected the vertex, face and edge counts");

    // note: counts come from the file; a lying one must not reserve more
    // than the bytes could hold (a vertex line takes at least six bytes, a
    // face line four).
    FaceList faces;
    faces.points.reserve(std::min<std::size_t>(static_cast<std::size_t>(vertexCount), bytes.size() / 6));
    faces.faceStarts.reserve(std::min<std::size_t>(static_cast<std::size_t>(faceCount), bytes.size() / 4));
    faces.corners.reserve(std::min<std::size_t>(3 * static_cast<std::size_t>(faceCount), bytes.size() / 2));

    for (long long v = 0; v < vertexCount; ++v) {
        progress.Every("reading OFF", static_cast<std::size_t>(v), static_cast<std::size_t>(vertexCount + faceCount));
        if (!lines.Next(tokens))
            throw ReadFailure("truncated: " + std::to_string(vertexCount) + " vertices promised, " +
                              std::to_string(v) + " found");
        Vec3 p;
        if (tokens.size() < 3 || !ParseFiniteFloat(tokens[0], p.x) || !ParseFiniteFloat(tokens[1], p.y) ||
            !ParseFiniteFloat(tokens[2], p.z))
            throw ReadFailure(AtLine(lines.Number()) + "a vertex needs three finite coordinates");
        faces.points.push_back(p);
    }
    for (long long f = 0; f < faceCount; ++f) {
        progress.Every("reading OFF", static_cast<std::size_t>(vertexCount + f),
                       static_cast<std::size_t>(vertexCount + faceCount));
        if (!lines.Next(tokens))
            throw ReadFailure("truncated: " + std::to_string(faceCount) + " faces promised, " + std::to_string(f) +
                              " found");
        long long cornerCount = 0;
        bool sound = ParseInt(tokens[0], 0, cornerCount) && tokens.size() >= static_cast<std::size_t>(cornerCount) + 1;
        faces.AddFace();
        for (long long i = 1; sound && i <= cornerCount; ++i) {
            long long index = 0;
            sound = ParseInt(tokens[static_cast<std::size_t>(i)], 0, index);
            faces.corners.push_back(static_cast<int32_t>(index));
        }
        if (!sound)
            throw ReadFailure(AtLine(lines.Number()) + "a face needs its corner count and that many vertex indices");
    }
    return BuildTable(faces, 0, progress, renumbered);
}

}  // namespace vorlane::mesh_reading

// What the per-format mesh readers share: the failure they throw, text
// scanning and number parsing, progress reports, and the builder that turns
// faces over numbered points into a ModelTable. Internal to io/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/polyhedron.h"
#include "io/mesh_reader.h"

namespace vorlane::mesh_reading {

// A reason to refuse the file, already worded for the user (without the
// file's name).
class ReadFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reports a phase's progress to an optional callback, at most every few
// thousand elements so that a report costs nothing per element.
class ReadMeter {
public:
    explicit ReadMeter(const Progress* callback) : callback_(callback) {}
    // Tells the callback phase is fraction done, now.
    void Report(const char* phase, double fraction) const;
    // Reports done of total only when done is a multiple of 65536.
    void Every(const char* phase, std::size_t done, std::size_t total) const
    {
        if (callback_ && (done & 0xFFFF) == 0 && total > 0) Report(phase, static_cast<double>(done) / total);
    }

private:
    const Progress* callback_;
};

// Lines of a text, numbered from 1, without their end of line (\n or \r\n).
class LineCursor {
public:
    explicit LineCursor(std::string_view bytes) : bytes_(bytes) {}
    // The next line; false at the end of the text.
    bool Next(std::string_view& line);
    std::size_t Number() const { return number_; }
    // How far through the text, 0..1.
    double Fraction() const { return bytes_.empty() ? 1.0 : static_cast<double>(next_) / bytes_.size(); }
    // The bytes after the last line returned.
    std::string_view Rest() const { return next_ >= bytes_.size() ? std::string_view() : bytes_.substr(next_); }
    // Whether the last line returned ended in a newline, not the text's end.
    bool EndedInNewline() const { return newline_; }

private:
    std::string_view bytes_;
    std::size_t next_ = 0;
    std::size_t number_ = 0;
    bool newline_ = false;
};

bool IsBlank(char c);
// Blank-separated tokens of text into tokens (cleared first), which keeps
// its capacity so a reader allocates once.
void SplitTokens(std::string_view text, std::vector<std::string_view>& tokens);
std::string_view WithoutComment(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// A whole token of decimal float syntax ([+-]digits[.digits][e[+-]digits],
// at most 64 characters) whose value is finite within float range: value is
// its nearest float. Hex floats, inf and nan are refused.
bool ParseFiniteFloat(std::string_view token, float& value);
// The same, but a token a little beyond the largest float that still rounds
// to it is taken (as a C++ stream reading a float does).
bool ParseStreamFloat(std::string_view token, float& value);
// A whole token that is a decimal integer in [minimum, INT32_MAX].
bool ParseInt(std::string_view token, long long minimum, long long& value);
// A whole token read as a stream reads an unsigned int: [+-]digits with a
// magnitude below 2^32, a minus sign wrapping around.
bool ParseStreamUnsigned(std::string_view token, uint32_t& value);
// A whole token read as a stream reads an int: [+-]digits within int32.
bool ParseStreamInt(std::string_view token, int32_t& value);

// "1st", "2nd", "23rd", ...
std::string Ordinal(std::size_t n);
// "line N: "
std::string AtLine(std::size_t number);
// bytes echoed from a file as text, control and non-ASCII bytes (and the
// backslash) written as \xHH so that no terminal acts on them.
std::string Escaped(std::string_view bytes);
// The same, quoted and cut to 32 characters.
std::string Shown(std::string_view bytes);

// Faces over numbered points as a reader finds them.
struct FaceList {
    std::vector<Vec3> points;
    std::vector<int32_t> corners;
    std::vector<std::size_t> faceStarts;

    void AddFace() { faceStarts.push_back(corners.size()); }
};

// Turns faces into triangles over the points in use, in order of first use:
// polygons through TriangulatePolygon, corners repeated in a row or closing a
// polygon on its first corner dropped. indexBase is how the file counts
// vertices, for the messages. Refuses non-finite points, indices out of
// range, and files without vertices or faces.
// renumbered, if given, gets the table vertex of each point (-1 if unused).
ModelTable BuildTable(const FaceList& faces, int indexBase, const ReadMeter& progress, std::vector<int32_t>* renumbered = nullptr);

// colours gets the table vertices' colours where some "v x y z r g b" gives
// one or a face uses a material of its libraries (read from folder, none
// where the bytes come from no file); warnings a line for each library or
// texture that cannot be read.
ModelTable ReadObj(std::string_view bytes, const ReadMeter& progress, const std::optional<std::string>& folder,
                   std::vector<int32_t>* renumbered, std::vector<Vec3>& colours, std::vector<std::string>& warnings);
ModelTable ReadOff(std::string_view bytes, const ReadMeter& progress, std::vector<int32_t>* renumbered);
// colours gets the table vertices' colours where the vertex element has red, green or blue.
ModelTable ReadPly(std::string_view bytes, const ReadMeter& progress, std::vector<int32_t>* renumbered,
                   std::vector<Vec3>& colours);
ModelTable ReadStl(std::string_view bytes, const ReadMeter& progress);
// binary: a .glb; folder: where its relative uris point, none to read no file.
// colours gets the table vertices' colours where the file has any.
ModelTable ReadGltfMesh(std::string_view bytes, bool binary, const std::optional<std::string>& folder,
                        const ReadMeter& progress, std::vector<Vec3>& colours);

}  // namespace vorlane::mesh_reading

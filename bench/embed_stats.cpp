// vorlane-embed-stats [--max-triangles N] [--split N] FILE...: embeds each
// mesh file on the sphere, coarse to fine and from a conformal map
// (EmbedMethod::Conformal), and prints how the two spread the area, as
// Markdown tables:
//   - one row per mesh the topology check accepts, sorted by triangles:
//     CPU seconds of each map, the smallest triangle's share of the sphere,
//     the 1st and 99th percentiles of (share of sphere / share of surface)
//     and the surface area whose ratio is within tenfold;
//   - one row per mesh not embedded: the reader's or the topology check's
//     line, or its size when it has more than N triangles.
// Each mesh is read and made ready as the merge does before a spherical
// map: turned outward, pinched vertices split, topology checked; --split N
// first splits every triangle into four N times (SplitIntoFour). Progress
// goes to standard error. Exits 0 when every accepted mesh gets a valid
// coarse-to-fine map, 1 when one does not, 2 on bad arguments.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bench/mesh_generator.h"
#include "embed/mesh_topology.h"
#include "embed/spherical_embedding.h"
#include "io/mesh_reader.h"
#include "prepare/orient_outward.h"
#include "robust/float_range.h"

namespace {

using namespace vorlane;

struct MapRow {
    std::string error;  // empty when the map is valid
    double seconds = 0.0;
    EmbedStatistics statistics;
};

struct MeshRow {
    std::string name;
    size_t triangles = 0;
    std::string refusal;  // empty when the mesh was embedded
    MapRow hierarchical, conformal;
};

std::string StemOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = stem.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? stem : stem.substr(0, dot);
}

// note: a '|' in a file's own text would otherwise split the table's cell.
std::string Cell(const std::string& text)
{
    std::string cell;
    for (const char c : text) {
        if (c == '|') cell += '\\';
        cell += c == '\n' ? ' ' : c;
    }
    return cell;
}

std::string Format(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

MapRow RunMap(const ModelTable& table, EmbedMethod method)
{
    EmbedOptions options;
    options.method = method;
    MapRow row;
    // note: CPU time, as the machine is shared and wall time drifts with load.
    const std::clock_t start = std::clock();
    const SphericalEmbedding embedding = EmbedOnSphere(table, options);
    row.seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    row.error = embedding.error;
    row.statistics = embedding.statistics;
    return row;
}

// The reader's and the topology check's lines, without the path they start with.
std::string Reason(const std::string& line, const std::string& path)
{
    return line.rfind(path + ": ", 0) == 0 ? line.substr(path.size() + 2) : line;
}

MeshRow Measure(const std::string& path, size_t maxTriangles, int splits)
{
    MeshRow row;
    row.name = StemOf(path);
    std::fprintf(stderr, "%s ...\n", path.c_str());
    MeshReadResult read = ReadMeshFile(path);
    if (!read.error.empty()) {
        row.refusal = Reason(read.error, path);
        return row;
    }
    ModelTable& table = read.table;
    for (int split = 0; split < splits; ++split) SplitIntoFour(table);
    row.triangles = table.triangles.size();
    row.refusal = CheckFiniteTable(table);
    if (!row.refusal.empty()) return row;
    OrientOutward(table);
    SplitPinchedVertices(table);
    row.refusal = CheckSphereTopology(table);
    if (!row.refusal.empty()) return row;
    if (row.triangles > maxTriangles) {
        row.refusal = "not embedded: over " + std::to_string(maxTriangles) + " triangles";
        return row;
    }
    row.hierarchical = RunMap(table, EmbedMethod::Hierarchical);
    row.conformal = RunMap(table, EmbedMethod::Conformal);
    return row;
}

void PrintMapCells(const MapRow& map, bool withTenfold)
{
    if (!map.error.empty() || map.statistics.fellBack) {
        const std::string why = map.error.empty() ? "fell back to coarse to fine" : map.error;
        std::printf(" %s | %s |%s", Format("%.3f", map.seconds).c_str(), Cell(why).c_str(),
                    withTenfold ? " | | |" : " | |");
        return;
    }
    const EmbedStatistics& s = map.statistics;
    std::printf(" %s | %s | %s | %s |", Format("%.3f", map.seconds).c_str(), Format("%.3g", s.smallestShare).c_str(),
                Format("%.3g", s.ratioPercentile1).c_str(), Format("%.3g", s.ratioPercentile99).c_str());
    if (withTenfold) std::printf(" %s |", Format("%.1f", 100.0 * s.areaWithinTenfold).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    size_t maxTriangles = static_cast<size_t>(-1);
    int splits = 0;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--max-triangles" && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long long limit = std::strtoull(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || argv[i][0] == '-') {
                std::fprintf(stderr, "vorlane-embed-stats: --max-triangles takes a count, not '%s'\n", argv[i]);
                return 2;
            }
            maxTriangles = static_cast<size_t>(limit);
        } else if (argument == "--split" && i + 1 < argc) {
            const std::string count = argv[++i];
            if (count.size() != 1 || count[0] < '0' || count[0] > '5') {
                std::fprintf(stderr, "vorlane-embed-stats: --split takes 0 to 5, not '%s'\n", count.c_str());
                return 2;
            }
            splits = count[0] - '0';
        } else {
            paths.push_back(argument);
        }
    }
    if (paths.empty()) {
        std::fprintf(stderr, "usage: vorlane-embed-stats [--max-triangles N] [--split N] FILE...\n");
        return 2;
    }
    std::vector<MeshRow> rows;
    for (const std::string& path : paths) rows.push_back(Measure(path, maxTriangles, splits));
    std::stable_sort(rows.begin(), rows.end(),
                     [](const MeshRow& a, const MeshRow& b) { return a.triangles < b.triangles; });

    std::printf("| mesh | triangles | hier. s | hier. smallest share | hier. p1 | hier. p99 | hier. area within 10x %% |"
                " conf. s | conf. smallest share or error | conf. p1 | conf. p99 |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    int failed = 0;
    for (const MeshRow& row : rows) {
        if (!row.refusal.empty()) continue;
        std::printf("| %s | %zu |", Cell(row.name).c_str(), row.triangles);
        PrintMapCells(row.hierarchical, true);
        PrintMapCells(row.conformal, false);
        std::printf("\n");
        failed += row.hierarchical.error.empty() ? 0 : 1;
    }
    std::printf("\n| mesh | triangles | not embedded because |\n|---|---:|---|\n");
    for (const MeshRow& row : rows) {
        if (row.refusal.empty()) continue;
        std::printf("| %s | %zu | %s |\n", Cell(row.name).c_str(), row.triangles, Cell(row.refusal).c_str());
    }
    return failed == 0 ? 0 : 1;
}

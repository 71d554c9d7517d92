// The Python module over numpy arrays: the tool's stages, reached through
// the pipeline's one entry, with meshes as (V, F) arrays.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "geometry/model_catalogue.h"
#include "geometry/morph_step.h"
#include "io/gltf_writer.h"
#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "pipeline/morph_job.h"

namespace py = pybind11;

namespace vorlane {
namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Longs = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;

// An array that owns values without a copy: numpy frees them with it.
template <typename T>
py::array_t<T> Owned(std::vector<T>&& values, std::vector<py::ssize_t> shape)
{
    auto* held = new std::vector<T>(std::move(values));
    py::capsule free(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(shape, held->data(), free);
}

py::tuple Arrays(const ModelTable& table)
{
    std::vector<double> v;
    v.reserve(3 * table.vertices.size());
    for (const Vec3& p : table.vertices) v.insert(v.end(), {p.x, p.y, p.z});
    std::vector<int64_t> f;
    f.reserve(3 * table.triangles.size());
    for (const Triangle& t : table.triangles) f.insert(f.end(), {t[0], t[1], t[2]});
    const auto n = static_cast<py::ssize_t>(table.vertices.size());
    const auto m = static_cast<py::ssize_t>(table.triangles.size());
    return py::make_tuple(Owned(std::move(v), {n, 3}), Owned(std::move(f), {m, 3}));
}

py::tuple ReadMesh(const std::string& path)
{
    MeshReadResult read;
    {
        py::gil_scoped_release unlocked;
        read = ReadMeshFile(path);
    }
    if (!read.error.empty()) throw py::value_error(read.error);
    return Arrays(read.table);
}

// A mesh from arrays, checked as a file's would be; throws ValueError naming
// the mesh.
ModelTable TableOf(const py::handle& vertices, const py::handle& faces, const std::string& name,
                   std::vector<int32_t>& renumbered)
{
    const Doubles v = Doubles::ensure(vertices);
    if (!v || v.ndim() != 2 || v.shape(1) != 3) throw py::value_error(name + ": V must be an array of shape (n, 3)");
    const py::array raw = py::array::ensure(faces);
    if (!raw || raw.ndim() != 2 || raw.shape(1) != 3) throw py::value_error(name + ": F must be an array of shape (m, 3)");
    if (raw.size() > 0 && raw.dtype().kind() != 'i' && raw.dtype().kind() != 'u')
        throw py::value_error(name + ": F must hold integers");
    const Longs f = Longs::ensure(raw);
    std::vector<Vec3> points;
    points.reserve(static_cast<size_t>(v.shape(0)));
    const auto vv = v.unchecked<2>();
    for (py::ssize_t i = 0; i < v.shape(0); ++i) {
        const double x = vv(i, 0), y = vv(i, 1), z = vv(i, 2);
        points.push_back(Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
    }
    const std::vector<int64_t> corners(f.data(), f.data() + f.size());
    MeshReadResult read = ReadMeshArrays(points, corners, name, &renumbered);
    if (!read.error.empty()) throw py::value_error(read.error);
    return std::move(read.table);
}

// One input: a built-in model's name, or a (V, F) pair.
void SetInput(const py::object& input, const std::string& role, std::string& name, std::optional<ModelTable>& mesh,
              std::vector<int32_t>& renumbered)
{
    if (py::isinstance<py::str>(input)) {
        name = input.cast<std::string>();
        if (!FindCatalogueModel(name)) throw py::value_error(role + ": '" + name + "' is not a built-in model");
        return;
    }
    const py::sequence pair = py::reinterpret_borrow<py::sequence>(input);
    if (!py::isinstance<py::sequence>(input) || py::len(pair) != 2)
        throw py::value_error(role + ": expected a built-in model's name or a (V, F) pair");
    name = role;
    mesh = TableOf(pair[0], pair[1], role, renumbered);
}

struct Morph {
    std::shared_ptr<MorphJob> job;
    std::string sourceName, targetName;
    int threads = 1;
    // Built once: numpy then hands out views, not copies.
    py::object start, end, faces;

    const MorphMesh& mesh() const { return job->merged.mesh; }
};

py::array_t<double> Positions(const std::vector<Vec3>& positions)
{
    std::vector<double> out;
    out.reserve(3 * positions.size());
    for (const Vec3& p : positions) out.insert(out.end(), {p.x, p.y, p.z});
    return Owned(std::move(out), {static_cast<py::ssize_t>(positions.size()), 3});
}

py::array_t<int64_t> Faces(const MorphMesh& mesh)
{
    std::vector<int64_t> out;
    out.reserve(3 * mesh.faces.size());
    for (const MeshFace& face : mesh.faces) {
        for (int32_t corner : face.indices) out.push_back(corner);
    }
    return Owned(std::move(out), {static_cast<py::ssize_t>(mesh.faces.size()), 3});
}

py::tuple Locations(const std::vector<SurfaceLocation>& locations)
{
    std::vector<int64_t> triangles;
    std::vector<double> weights;
    triangles.reserve(locations.size());
    weights.reserve(3 * locations.size());
    for (const SurfaceLocation& l : locations) {
        triangles.push_back(l.triangle);
        weights.insert(weights.end(), {l.weights[0], l.weights[1], l.weights[2]});
    }
    const auto n = static_cast<py::ssize_t>(locations.size());
    return py::make_tuple(Owned(std::move(triangles), {n}), Owned(std::move(weights), {n, 3}));
}

// An input as the merge took it: its vertices in the input's coordinates,
// and its triangles (turned outward and split into one fan per vertex where
// preparation had to), which the locations index.
py::tuple Model(const Polyhedron& model)
{
    std::vector<double> v;
    v.reserve(3 * model.vertices.size());
    for (const Vec3& p : model.vertices) {
        const Vec3 q = Add(p, model.centre);
        v.insert(v.end(), {q.x, q.y, q.z});
    }
    std::vector<int64_t> f;
    f.reserve(3 * model.faces.size());
    for (const Triangle& t : model.faces) f.insert(f.end(), {t[0], t[1], t[2]});
    return py::make_tuple(Owned(std::move(v), {static_cast<py::ssize_t>(model.vertices.size()), 3}),
                          Owned(std::move(f), {static_cast<py::ssize_t>(model.faces.size()), 3}));
}

int Threads(int threads)
{
    if (threads < 0) throw py::value_error("threads must be 0 (every core) or more");
    return threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

Morph RunMorph(const py::object& source, const py::object& target, const std::string& embedding,
               const std::optional<Longs>& landmarks, int threads, const std::optional<std::array<float, 3>>& sourceCentre,
               const std::optional<std::array<float, 3>>& targetCentre, const py::object& progress,
               std::optional<long long> maxTriangles, std::optional<double> tolerance,
               const std::optional<std::string>& path)
{
    MorphRequest request;
    std::vector<int32_t> renumbered[2];
    SetInput(source, "source", request.source, request.sourceMesh, renumbered[0]);
    SetInput(target, "target", request.target, request.targetMesh, renumbered[1]);
    if (!ParseEmbeddingChoice(embedding, request.embedding))
        throw py::value_error("embedding takes 'auto', 'central' or 'spherical', not '" + embedding + "'");
    if (landmarks) {
        if (landmarks->ndim() != 2 || landmarks->shape(1) != 2)
            throw py::value_error("landmarks must be an array of shape (k, 2)");
        const auto l = landmarks->unchecked<2>();
        // In V's numbering; the merge counts the vertices the triangles use.
        const auto vertex = [&](py::ssize_t row, int side) {
            const int64_t given = l(row, side);
            const std::vector<int32_t>& slots = renumbered[side];
            const bool named = slots.empty() ? given >= 0 && given <= INT32_MAX
                                             : given >= 0 && static_cast<uint64_t>(given) < slots.size() &&
                                                   slots[static_cast<size_t>(given)] >= 0;
            if (!named)
                throw py::value_error("landmark " + std::to_string(row) + ": " + (side == 0 ? "source" : "target") +
                                      " vertex " + std::to_string(given) + " is not a vertex of a triangle");
            return slots.empty() ? static_cast<int32_t>(given) : slots[static_cast<size_t>(given)];
        };
        for (py::ssize_t i = 0; i < l.shape(0); ++i) request.landmarks.push_back({vertex(i, 0), vertex(i, 1)});
    }
    const auto centre = [](const std::optional<std::array<float, 3>>& c) -> std::optional<Vec3> {
        if (!c) return std::nullopt;
        return Vec3{(*c)[0], (*c)[1], (*c)[2]};
    };
    request.sourceCentre = centre(sourceCentre);
    request.targetCentre = centre(targetCentre);
    request.threads = Threads(threads);
    if (maxTriangles && *maxTriangles < 4) throw py::value_error("max_triangles must be 4 or more");
    if (tolerance && !(*tolerance >= 0.0 && std::isfinite(*tolerance))) throw py::value_error("tolerance must be a number from 0");
    if (maxTriangles) request.simplify.maxTriangles = *maxTriangles;
    request.simplify.tolerance = tolerance;
    request.path = DefaultPath(request.source, request.target);
    if (path && !ParsePathChoice(*path, request.path)) throw py::value_error("path takes 'linear' or 'shape', not '" + *path + "'");

    // A callback that raises stops its reports; the error is raised after.
    std::optional<py::error_already_set> raised;
    Progress report;
    if (!progress.is_none()) {
        report = [&](std::string_view phase, double fraction) {
            py::gil_scoped_acquire locked;
            if (raised) return;
            try {
                progress(phase, fraction);
            } catch (py::error_already_set& e) {
                raised = std::move(e);
            }
        };
    }
    auto job = std::make_shared<MorphJob>();
    {
        py::gil_scoped_release unlocked;
        *job = RunMorphJob(request, report);
    }
    if (raised) throw std::move(*raised);
    if (!job->error.empty()) throw py::value_error(job->error);
    Morph morph{job, request.source, request.target, request.threads, py::none(), py::none(), py::none()};
    morph.start = Positions(morph.mesh().startPositions);
    morph.end = Positions(morph.mesh().endPositions);
    morph.faces = Faces(morph.mesh());
    return morph;
}

py::array_t<double> At(const Morph& morph, double t)
{
    if (!(t >= 0.0 && t <= 1.0)) throw py::value_error("t must lie in [0, 1]");
    if (!morph.job->path.empty()) {
        std::vector<Vec3> at;
        {
            py::gil_scoped_release unlocked;
            at = morph.job->path.At(t);
        }
        return Positions(at);
    }
    const std::vector<Vec3>& a = morph.mesh().startPositions;
    const std::vector<Vec3>& b = morph.mesh().endPositions;
    std::vector<double> out(3 * a.size());
    // note: the ends are the stored positions themselves, not sums that round.
    for (size_t i = 0; i < a.size(); ++i) {
        const double s[3] = {a[i].x, a[i].y, a[i].z}, e[3] = {b[i].x, b[i].y, b[i].z};
        for (int k = 0; k < 3; ++k) out[3 * i + k] = t == 1.0 ? e[k] : s[k] + t * (e[k] - s[k]);
    }
    return Owned(std::move(out), {static_cast<py::ssize_t>(a.size()), 3});
}

py::dict Summary(const Morph& morph)
{
    const MorphJob& job = *morph.job;
    py::dict d;
    d["source"] = morph.sourceName;
    d["target"] = morph.targetName;
    d["crossings"] = morph.mesh().crossingCount;
    d["vertices"] = morph.mesh().startPositions.size();
    d["folded"] = job.merged.foldedCount;
    d["edges"] = morph.mesh().edges.size();
    d["faces"] = morph.mesh().faces.size();
    d["embeddings"] = py::make_tuple(SphereMapName(job.sourceMap), SphereMapName(job.targetMap));
    d["alignment"] = job.alignment;
    if (job.simplified.trianglesBefore > 0) {
        d["triangles_before"] = job.simplified.trianglesBefore;
        d["triangles_after"] = job.simplified.trianglesAfter;
        d["start_distance"] = job.simplified.startDistance;
        d["end_distance"] = job.simplified.endDistance;
    }
    return d;
}

void Write(const Morph& morph, const std::string& path, bool compress, std::optional<int> step, int targets)
{
    GltfContainer container{};
    StepFormat format{};
    const bool gltf = GltfContainerOfPath(path, container);
    if (!gltf && !StepFormatOfPath(path, format))
        throw py::value_error("cannot tell the output format of '" + path + "' (expected .glb, .gltf, .obj or .ply)");
    if (gltf && step) throw py::value_error("step applies to .obj and .ply output; glTF holds every step");
    if (!gltf && compress) throw py::value_error("compress applies to .glb and .gltf output");
    if (step && (*step < 0 || *step > MorphSteps))
        throw py::value_error("step must lie in 0.." + std::to_string(MorphSteps));
    if (targets < 1 || targets > MorphSteps) throw py::value_error("targets must lie in 1.." + std::to_string(MorphSteps));
    std::string problem, warning;
    {
        py::gil_scoped_release unlocked;
        const ShapePath& shape = morph.job->path;
        std::vector<std::vector<Vec3>> middles;
        std::vector<Vec3> at;
        if (!shape.empty() && gltf) {
            for (int i = 1; i < targets; ++i) middles.push_back(shape.At(static_cast<double>(i) / targets));
        } else if (!shape.empty() && step.value_or(0) > 0 && *step < MorphSteps) {
            at = shape.AtStep(*step);
        }
        GltfOptions options{compress, morph.threads, &warning, &morph.job->colours};
        if (!middles.empty()) options.middles = &middles;
        problem = gltf ? WriteGltfMorph(morph.mesh(), path, container, options)
                       : WriteMeshAtStep(morph.mesh(), step.value_or(0), path, format, morph.job->colours, at.empty() ? nullptr : &at);
    }
    if (!problem.empty()) throw py::value_error(problem);
    if (!warning.empty() && PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
}

}  // namespace
}  // namespace vorlane

PYBIND11_MODULE(_vorlane, m)
{
    using namespace vorlane;
    m.doc() = "Morphs between closed genus-0 meshes of any connectivity.";
    m.def("read_mesh", &ReadMesh, py::arg("path"),
          "Reads a mesh file (OBJ, OFF, PLY, STL) as (V, F): float64 (n, 3) and int64 (m, 3).");
    m.def("builtin_models", [] {
        std::vector<std::string> names;
        for (const CatalogueEntry& entry : Catalogue()) names.emplace_back(entry.name);
        return names;
    });
    py::class_<Morph>(m, "Morph")
        .def_readonly("start", &Morph::start, "Every merged vertex on the source, float64 (k, 3).")
        .def_readonly("end", &Morph::end, "Every merged vertex on the target, float64 (k, 3).")
        .def_readonly("faces", &Morph::faces, "The merged triangles, int64 (f, 3), counter-clockwise from outside.")
        .def("at", &At, py::arg("t"), "The merged vertices at t in [0, 1]: start at 0, end at 1.")
        .def_property_readonly("source_location", [](const Morph& mo) { return Locations(mo.mesh().startLocations); },
                               "(triangle, weights) of every merged vertex on the source as merged (see source_mesh).")
        .def_property_readonly("target_location", [](const Morph& mo) { return Locations(mo.mesh().endLocations); },
                               "(triangle, weights) of every merged vertex on the target as merged (see target_mesh).")
        .def_property_readonly("source_mesh", [](const Morph& mo) { return Model(*mo.mesh().source); },
                               "The source as the merge took it: (V, F), which source_location indexes.")
        .def_property_readonly("target_mesh", [](const Morph& mo) { return Model(*mo.mesh().target); },
                               "The target as the merge took it: (V, F), which target_location indexes.")
        .def_property_readonly("summary", &Summary, "The counts the tool prints, as a dict.")
        .def("write", &Write, py::arg("path"), py::arg("compress") = false, py::arg("step") = py::none(), py::arg("targets") = 8,
             "Writes the morph: .glb or .gltf (animated), or one step as .obj or .ply.");
    m.def("_morph", &RunMorph, py::arg("source"), py::arg("target"), py::arg("embedding") = "auto",
          py::arg("landmarks") = py::none(), py::arg("threads") = 0, py::arg("source_centre") = py::none(),
          py::arg("target_centre") = py::none(), py::arg("progress") = py::none(), py::arg("max_triangles") = py::none(),
          py::arg("tolerance") = py::none(), py::arg("path") = py::none());
}

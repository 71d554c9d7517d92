#include "robust/arc_split.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "geometry/exact_predicates.h"
#include "robust/ray_points.h"

namespace vorlane {
namespace {

class Splitter {
public:
    Splitter(const WalkMesh& mesh, std::vector<ArcSplit>& splits) : mesh_(mesh), splits_(splits) {}

    bool Run(SplitMesh& out)
    {
        if (splits_.empty()) return false;
        Group();
        // Dropping an arc changes the triangles on both sides of it: repeat
        // until every changed triangle faces its centre.
        for (bool changed = true; changed;) {
            changed = false;
            for (size_t t = 0; t < mesh_.model->faces.size(); ++t) {
                if (!Touched(static_cast<int32_t>(t))) continue;
                if (Faces(Cut(static_cast<int32_t>(t)))) continue;
                for (int32_t i = 0; i < 3; ++i) accepted_[static_cast<size_t>(mesh_.sideArc[3 * t + static_cast<size_t>(i)])] = false;
                changed = true;
            }
        }
        return Build(out);
    }

private:
    // Splits grouped by arc and in order along it; each gets the vertex
    // index it will have if its arc stays split.
    void Group()
    {
        std::stable_sort(splits_.begin(), splits_.end(), [](const ArcSplit& a, const ArcSplit& b) { return a.arc < b.arc; });
        accepted_.assign(mesh_.arcs.size(), false);
        groupOf_.assign(mesh_.arcs.size(), -1);
        firstSplit_.clear();
        for (size_t i = 0; i < splits_.size();) {
            size_t j = i;
            while (j < splits_.size() && splits_[j].arc == splits_[i].arc) ++j;
            const IndexPair& e = mesh_.arcs[static_cast<size_t>(splits_[i].arc)];
            // In order from e.from to e.to, by the angle turned from e.from:
            // a key each, so that the order stays a strict one even for
            // points closer than rounding.
            const D3 from = ToD(mesh_.Point(e.from));
            const D3 normal = Cross(from, ToD(mesh_.Point(e.to)));
            const double length = std::sqrt(Dot(normal, normal));
            auto angle = [&](const ArcSplit& a) {
                const D3 d = ToD(a.direction);
                return std::atan2(Dot(Cross(from, d), normal), Dot(from, d) * length);
            };
            std::stable_sort(splits_.begin() + static_cast<std::ptrdiff_t>(i), splits_.begin() + static_cast<std::ptrdiff_t>(j),
                             [&](const ArcSplit& a, const ArcSplit& b) { return angle(a) < angle(b); });
            accepted_[static_cast<size_t>(splits_[i].arc)] = true;
            groupOf_[static_cast<size_t>(splits_[i].arc)] = static_cast<int32_t>(firstSplit_.size());
            firstSplit_.push_back(i);
            i = j;
        }
        firstSplit_.push_back(splits_.size());
        directions_ = *mesh_.directions;
        for (const ArcSplit& split : splits_) directions_.push_back(split.direction);
    }

    bool Touched(int32_t t) const
    {
        for (size_t i = 0; i < 3; ++i) {
            if (accepted_[static_cast<size_t>(mesh_.sideArc[3 * static_cast<size_t>(t) + i])]) return true;
        }
        return false;
    }

    // The vertices of the splits inside arc, in order along it (empty when
    // the arc stays whole).
    std::vector<int32_t> Inside(int32_t arc) const
    {
        std::vector<int32_t> inside;
        if (!accepted_[static_cast<size_t>(arc)]) return inside;
        const size_t base = mesh_.directions->size();
        const size_t g = static_cast<size_t>(groupOf_[static_cast<size_t>(arc)]);
        for (size_t k = firstSplit_[g]; k < firstSplit_[g + 1]; ++k) inside.push_back(static_cast<int32_t>(base + k));
        return inside;
    }

    // The pieces that replace triangle t, counter-clockwise, with no
    // triangle laid along one side: name its first split side b -> c and
    // the corner across a; fan from c's first neighbour Q1 over side a -> b,
    // from a over side b -> c, and from c's last neighbour Qm over c -> a.
    std::vector<Triangle> Cut(int32_t t) const
    {
        int32_t s = 3 * t;
        while (!accepted_[static_cast<size_t>(mesh_.sideArc[static_cast<size_t>(s)])]) ++s;
        const std::vector<int32_t> ab = Chain(WalkMesh::After(s, 2));
        const std::vector<int32_t> bc = Chain(s);
        const std::vector<int32_t> ca = Chain(WalkMesh::After(s, 1));
        const int32_t a = ab.front(), first = bc[1], last = bc[bc.size() - 2];
        std::vector<Triangle> pieces;
        for (size_t i = 0; i + 1 < ab.size(); ++i) pieces.push_back({ab[i], ab[i + 1], first});
        for (size_t i = 1; i + 2 < bc.size(); ++i) pieces.push_back({a, bc[i], bc[i + 1]});
        for (size_t i = 0; i + 1 < ca.size(); ++i) pieces.push_back({ca[i], ca[i + 1], last});
        return pieces;
    }

    // A side's corners with its splits between, from its start to its end.
    std::vector<int32_t> Chain(int32_t side) const
    {
        const int32_t arc = mesh_.sideArc[static_cast<size_t>(side)];
        std::vector<int32_t> inside = Inside(arc);
        if (mesh_.Corner(side) != mesh_.arcs[static_cast<size_t>(arc)].from) std::reverse(inside.begin(), inside.end());
        std::vector<int32_t> chain{mesh_.Corner(side)};
        chain.insert(chain.end(), inside.begin(), inside.end());
        chain.push_back(mesh_.Corner(WalkMesh::After(side, 1)));
        return chain;
    }

    bool Faces(const std::vector<Triangle>& pieces) const
    {
        for (const Triangle& p : pieces) {
            if (Orient3(directions_[static_cast<size_t>(p[0])], directions_[static_cast<size_t>(p[1])], directions_[static_cast<size_t>(p[2])]) <= 0) {
                return false;
            }
        }
        return true;
    }

    bool Build(SplitMesh& out)
    {
        const Polyhedron& model = *mesh_.model;
        // Accepted splits keep their vertices, renumbered densely.
        const size_t base = mesh_.directions->size();
        std::vector<int32_t> renumber(splits_.size(), -1);
        out.surface = Polyhedron{};
        out.surface.centre = model.centre;
        out.surface.map = model.map;
        out.surface.vertices = model.vertices;
        out.directions = *mesh_.directions;
        for (size_t g = 0; g + 1 < firstSplit_.size(); ++g) {
            const int32_t arc = splits_[firstSplit_[g]].arc;
            if (!accepted_[static_cast<size_t>(arc)]) continue;
            const IndexPair& e = mesh_.arcs[static_cast<size_t>(arc)];
            for (size_t k = firstSplit_[g]; k < firstSplit_[g + 1]; ++k) {
                renumber[k] = static_cast<int32_t>(out.directions.size());
                out.directions.push_back(splits_[k].direction);
                out.surface.vertices.push_back(mesh_.SurfaceOnEdge(e.from, e.to, ToD(splits_[k].direction)));
            }
        }
        if (out.directions.size() == base) return false;
        auto final = [&](int32_t v) { return v < static_cast<int32_t>(base) ? v : renumber[static_cast<size_t>(v) - base]; };
        out.surface.faces = model.faces;
        out.changed.assign(model.faces.size(), false);
        out.parent.resize(model.faces.size());
        for (size_t t = 0; t < model.faces.size(); ++t) out.parent[t] = static_cast<int32_t>(t);
        for (size_t t = 0; t < model.faces.size(); ++t) {
            if (!Touched(static_cast<int32_t>(t))) continue;
            out.changed[t] = true;
            const std::vector<Triangle> pieces = Cut(static_cast<int32_t>(t));
            for (size_t k = 0; k < pieces.size(); ++k) {
                Triangle piece = pieces[k];
                for (int32_t& v : piece) v = final(v);
                if (k == 0) {
                    out.surface.faces[t] = piece;
                } else {
                    out.surface.faces.push_back(piece);
                    out.parent.push_back(static_cast<int32_t>(t));
                }
            }
        }
        return true;
    }

    const WalkMesh& mesh_;
    std::vector<ArcSplit>& splits_;
    std::vector<bool> accepted_;      // by arc: split
    std::vector<size_t> firstSplit_;  // groups of splits_ by arc
    std::vector<int32_t> groupOf_;    // by arc: its group, or -1
    std::vector<Vec3> directions_;    // old vertices, then every split's
};

}  // namespace

bool SplitArcs(const WalkMesh& mesh, std::vector<ArcSplit> splits, SplitMesh& out)
{
    return Splitter(mesh, splits).Run(out);
}

}  // namespace vorlane

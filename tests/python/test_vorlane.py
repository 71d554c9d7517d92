"""The Python module against independent answers: the tool itself run on the
same meshes as files, exact properties of a morph, and numpy's own
arithmetic."""

import os
import subprocess
import threading
import warnings

import numpy as np
import pytest

import vorlane

TOOL = os.environ["VORLANE_MERGE"]


def icosphere(level, radius=1.0, centre=(0.0, 0.0, 0.0)):
    t = (1 + 5 ** 0.5) / 2
    v = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
         (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    f = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2),
         (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5),
         (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    v = [np.array(p, float) / np.linalg.norm(p) for p in v]
    for _ in range(level):
        middle, g = {}, []
        def mid(a, b):
            key = (min(a, b), max(a, b))
            if key not in middle:
                p = v[a] + v[b]
                middle[key] = len(v)
                v.append(p / np.linalg.norm(p))
            return middle[key]
        for a, b, c in f:
            ab, bc, ca = mid(a, b), mid(b, c), mid(c, a)
            g += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        f = g
    return np.array(v) * radius + np.array(centre), np.array(f, dtype=np.int64)


def first_use(V, F):
    """V and F renumbered as the file readers number them: by first use."""
    order = list(dict.fromkeys(F.ravel().tolist()))
    slot = np.empty(len(V), np.int64)
    slot[order] = np.arange(len(order))
    return V[order], slot[F]


def write_off(path, V, F):
    with open(path, "w") as out:
        out.write(f"OFF\n{len(V)} {len(F)} 0\n")
        out.writelines("%.9g %.9g %.9g\n" % tuple(p) for p in V.astype(np.float32))
        out.writelines("3 %d %d %d\n" % tuple(t) for t in F)


def tool(*args, cwd=None):
    return subprocess.run([TOOL, *map(str, args)], capture_output=True, text=True, cwd=cwd)


@pytest.fixture(scope="module")
def pair():
    # A lumpy ball against a stretched one: both star-shaped, unlike in size.
    V1, F1 = icosphere(2)
    V1 = V1 * (1 + 0.2 * np.sin(3 * V1[:, [0]]) * np.cos(2 * V1[:, [1]]))
    V2, F2 = icosphere(3, 2.0, (0.5, 0.0, 0.0))
    V2 = V2 * np.array([1.5, 1.0, 0.8])
    # Numbered as a file of them reads, so that the tool sees the same meshes.
    return first_use(V1.astype(np.float32), F1), first_use(V2.astype(np.float32), F2)


def barycentric_points(mesh, location):
    V, F = mesh
    triangle, weights = location
    return np.einsum("ki,kij->kj", weights, V[F[triangle]])


def test_morph_matches_the_tool_byte_for_byte(pair, tmp_path):
    (V1, F1), (V2, F2) = pair
    write_off(tmp_path / "a.off", V1, F1)
    write_off(tmp_path / "b.off", V2, F2)
    ran = tool(tmp_path / "a.off", tmp_path / "b.off", "-o", tmp_path / "tool.glb", "--threads", 1)
    assert ran.returncode == 0, ran.stderr
    m = vorlane.morph(V1, F1, V2, F2, threads=1)
    m.write(str(tmp_path / "module.glb"))
    assert (tmp_path / "module.glb").read_bytes() == (tmp_path / "tool.glb").read_bytes()
    fields = ran.stdout.split()
    for key in ("crossings", "vertices", "folded", "edges", "faces"):
        assert m.summary[key] == int(fields[fields.index(key) + 1]), key
    at = fields.index("embeddings")
    assert m.summary["embeddings"] == tuple(fields[at + 1:at + 3])


def test_simplified_morph_matches_the_tool_byte_for_byte(pair, tmp_path):
    (V1, F1), (V2, F2) = pair
    write_off(tmp_path / "a.off", V1, F1)
    write_off(tmp_path / "b.off", V2, F2)
    ran = tool(tmp_path / "a.off", tmp_path / "b.off", "-o", tmp_path / "tool.glb", "--threads", 1,
               "--max-triangles", 200, "--tolerance", 0.01)
    assert ran.returncode == 0, ran.stderr
    m = vorlane.morph(V1, F1, V2, F2, threads=1, max_triangles=200, tolerance=0.01)
    m.write(str(tmp_path / "module.glb"))
    assert (tmp_path / "module.glb").read_bytes() == (tmp_path / "tool.glb").read_bytes()
    fields = ran.stdout.split()
    for key in ("triangles-before", "triangles-after"):
        assert m.summary[key.replace("-", "_")] == int(fields[fields.index(key) + 1]), key
    assert m.summary["triangles_after"] == len(m.faces) < m.summary["triangles_before"]


def test_ends_are_the_inputs_surfaces(pair):
    (V1, F1), (V2, F2) = pair
    m = vorlane.morph(V1, F1, V2, F2)
    assert m.start.dtype == np.float64 and m.faces.dtype == np.int64
    assert np.array_equal(m.at(0.0), m.start) and np.array_equal(m.at(1.0), m.end)
    straight = vorlane.morph(V1, F1, V2, F2, path="linear")
    np.testing.assert_allclose(straight.at(0.25), m.start + 0.25 * (m.end - m.start), rtol=0, atol=1e-12)
    for mesh, location, points in ((m.source_mesh, m.source_location, m.start),
                                   (m.target_mesh, m.target_location, m.end)):
        np.testing.assert_allclose(barycentric_points(mesh, location), points, rtol=0, atol=1e-5)
    # Every input vertex is a merged vertex, where it stood.
    for V, ends in ((V1, m.start), (V2, m.end)):
        nearest = np.min(np.linalg.norm(ends[None, :, :] - V[:, None, :].astype(np.float64), axis=2), axis=1)
        assert nearest.max() <= 1e-6 * np.ptp(V, axis=0).max()  # a float step about the centre
    # Closed and consistently oriented: each directed edge once, its twin once.
    edges = np.concatenate([m.faces[:, [0, 1]], m.faces[:, [1, 2]], m.faces[:, [2, 0]]])
    directed = {tuple(e) for e in edges}
    assert len(directed) == len(edges) and all((b, a) in directed for a, b in directed)


def test_a_mesh_morphed_into_itself_stands_still():
    V, F = icosphere(2)
    m = vorlane.morph(V, F, V, F)
    assert np.abs(m.end - m.start).max() < 1e-6


@pytest.mark.parametrize("vdtype,fdtype", [(np.float32, np.int32), (np.float64, np.int64), (np.float64, np.uint16)])
def test_dtypes_give_the_same_morph(pair, vdtype, fdtype):
    (V1, F1), (V2, F2) = pair
    base = vorlane.morph(V1, F1, V2, F2)
    other = vorlane.morph(V1.astype(vdtype), F1.astype(fdtype), V2.astype(vdtype), F2.astype(fdtype))
    assert np.array_equal(base.start, other.start) and np.array_equal(base.faces, other.faces)


def test_built_in_names_and_read_mesh(tmp_path):
    m = vorlane.morph("cube", "icosahedron")
    ran = tool("cube", "icosahedron", "-o", tmp_path / "t.glb")
    assert ran.returncode == 0
    assert ran.stdout.split()[:14] == ("source cube target icosahedron " + " ".join(
        f"{k} {m.summary[k]}" for k in ("crossings", "vertices", "folded", "edges", "faces"))).split()
    V, F = icosphere(1)
    write_off(tmp_path / "s.off", V, F)
    read_V, read_F = vorlane.read_mesh(str(tmp_path / "s.off"))
    assert read_V.shape == V.shape and read_F.dtype == np.int64
    assert np.array_equal(read_V[read_F], V.astype(np.float32).astype(np.float64)[F])


def test_bad_inputs_raise_the_tools_reason(tmp_path):
    V, F = first_use(*icosphere(1))
    V, F = np.concatenate([V, V + 3.0]), np.concatenate([F, F + len(V)])
    write_off(tmp_path / "pieces.off", V, F)
    (tmp_path / "pair.txt").write_text("0 0\n")
    # note: pieces morph piece by piece, but landmarks name vertices of one mesh.
    told = tool(tmp_path / "pieces.off", "cube", "-o", tmp_path / "x.glb", "--landmarks", tmp_path / "pair.txt").stderr.strip()
    assert told.endswith("the mesh has 2 separate pieces"), told
    reason = told.split(": ", 2)[2]  # past "vorlane-merge: PATH: "
    with pytest.raises(ValueError) as raised:
        vorlane.morph(V, F, "cube", landmarks=np.array([[0, 0]]))
    assert str(raised.value) == "source: " + reason
    cases = [
        (lambda: vorlane.morph(V[:, :2], F, "cube"), "source: V must be an array of shape (n, 3)"),
        (lambda: vorlane.morph(V, F + 100, "cube"), "source: triangle 0 refers to vertex 100, but there are only 84 vertices"),
        (lambda: vorlane.morph("cube", "ball"), "target: 'ball' is not a built-in model"),
        (lambda: vorlane.morph(V, F, "cube", embedding="flat"), "embedding takes 'auto', 'central' or 'spherical', not 'flat'"),
        (lambda: vorlane.morph(V, F, "cube", landmarks=[[99, 0]]), "landmark 0: source vertex 99 is not a vertex of a triangle"),
        (lambda: vorlane.read_mesh(str(tmp_path / "none.off")), str(tmp_path / "none.off") + ": cannot open: No such file or directory"),
    ]
    for call, message in cases:
        with pytest.raises(ValueError) as raised:
            call()
        assert str(raised.value) == message


def test_progress_is_reported(pair):
    (V1, F1), (V2, F2) = pair
    heard = []
    vorlane.morph(V1, F1, V2, F2, progress=lambda phase, fraction: heard.append((phase, fraction)))
    assert heard and all(isinstance(p, str) and 0.0 <= f <= 1.0 for p, f in heard)


def test_other_threads_run_during_the_merge():
    # Held, the interpreter's lock would let the ticker in at most once or
    # twice, at the call's ends; released, it ticks all through the merge.
    V1, F1 = icosphere(5)
    V2, F2 = icosphere(5, 1.0, (0.1, 0.0, 0.0))
    ticks, done = [0], threading.Event()

    def ticker():
        while not done.is_set():
            ticks[0] += 1
            done.wait(0.001)

    other = threading.Thread(target=ticker)
    other.start()
    before = ticks[0]
    vorlane.morph(V1, F1, V2, F2, threads=1)
    during = ticks[0] - before
    done.set()
    other.join()
    assert during >= 10


def test_a_raising_callback_stops_the_call(pair):
    (V1, F1), (V2, F2) = pair

    def stop(phase, fraction):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        vorlane.morph(V1, F1, V2, F2, progress=stop)


def test_an_end_a_float_offset_cannot_hold_is_written_the_other_way(tmp_path):
    # Ends a million times apart: a float offset from the large end cannot
    # hold the small one (it once came back at the origin, with a warning),
    # so both files take the small end as the base and say nothing.
    V, F = icosphere(1)
    m = vorlane.morph((V * 1e6).astype(np.float32), F, (V * 1e-6).astype(np.float32), F)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        m.write(str(tmp_path / "plain.glb"))
        m.write(str(tmp_path / "small.glb"), compress=True)

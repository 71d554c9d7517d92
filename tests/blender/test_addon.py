"""The Blender add-on, run headless: blender -b --python test_addon.py --
ADDON_PARENT PACKAGE_DIR. Morphs a cube with a modifier into a turned UV
sphere, and two real meshes of CGAL's data into each other; the new object's
first and last keys must lie on the inputs as seen in world space, and the
inputs must be left as they were. Exits 1 on the first failure."""

import os
import sys
import tarfile
import tempfile
import traceback

import bpy
import numpy as np

addon_parent, package_dir = sys.argv[sys.argv.index("--") + 1:][:2]
sys.path[:0] = [addon_parent, package_dir]
import addon_utils  # noqa: E402

import vorlane  # noqa: E402

CGAL_DATA = "/usr/share/doc/libcgal-dev/data.tar.gz"


def surface_distance(points, V, F):
    """Largest distance of points from the surface (V, F), by brute force
    over every triangle (Ericson's closest point, sides by clamping)."""
    A, B, C = V[F[:, 0]], V[F[:, 1]], V[F[:, 2]]
    worst = 0.0
    for s in range(0, len(points), 64):
        p = points[s:s + 64, None, :]
        ab, ac, ap, bp, cp = B - A, C - A, p - A, p - B, p - C
        d1, d2, d3, d4 = (ab * ap).sum(-1), (ac * ap).sum(-1), (ab * bp).sum(-1), (ac * bp).sum(-1)
        d5, d6 = (ab * cp).sum(-1), (ac * cp).sum(-1)
        va, vb, vc = d3 * d6 - d5 * d4, d5 * d2 - d1 * d6, d1 * d4 - d3 * d2
        inside = (va >= 0) & (vb >= 0) & (vc >= 0) & (va + vb + vc > 0)
        with np.errstate(all="ignore"):
            face = A + (vb / (va + vb + vc))[..., None] * ab + (vc / (va + vb + vc))[..., None] * ac

        def side(X, Y):
            t = np.clip(((p - X) * (Y - X)).sum(-1) / ((Y - X) ** 2).sum(-1), 0.0, 1.0)
            return np.linalg.norm(p - (X + t[..., None] * (Y - X)), axis=-1)

        d = np.minimum.reduce([np.where(inside, np.linalg.norm(p - np.where(inside[..., None], face, 0.0), axis=-1), np.inf),
                               side(A, B), side(B, C), side(C, A)])
        worst = max(worst, d.min(axis=1).max())
    return worst


def snapshot(obj):
    co = np.empty(3 * len(obj.data.vertices), np.float32)
    obj.data.vertices.foreach_get("co", co)
    return co, tuple(obj.matrix_world.col[3]), len(obj.modifiers), obj.data.shape_keys is None


def key_positions(obj, index):
    key = obj.data.shape_keys.key_blocks[index]
    co = np.empty(3 * len(key.data), np.float32)
    key.data.foreach_get("co", co)
    return co.reshape(-1, 3).astype(np.float64)


def check_morph(source, target, case):
    depsgraph = bpy.context.evaluated_depsgraph_get()
    inputs = [sys.modules["vorlane_morph"].world_mesh(o, depsgraph) for o in (source, target)]
    before = [snapshot(o) for o in (source, target)]
    bpy.ops.object.select_all(action="DESELECT")
    source.select_set(True)
    target.select_set(True)
    bpy.context.view_layer.objects.active = target
    result = bpy.ops.object.vorlane_morph(frame_start=1, frame_end=41)
    assert result == {"FINISHED"}, (case, result)
    made = bpy.context.active_object
    assert made not in (source, target), case
    keys = made.data.shape_keys.key_blocks
    assert len(keys) == 9, (case, len(keys))  # Basis, seven in-betweens and the end
    for index, (V, F) in ((0, inputs[0]), (len(keys) - 1, inputs[1])):
        extent = np.linalg.norm(V.max(axis=0) - V.min(axis=0))
        far = surface_distance(key_positions(made, index)[::7], V, F)
        assert far <= 1e-6 * extent, (case, index, far, extent)
    after = [snapshot(o) for o in (source, target)]
    for b, a in zip(before, after):
        assert np.array_equal(b[0], a[0]) and b[1:] == a[1:], case
    fcurves = made.data.shape_keys.animation_data.action.fcurves
    # Each pose at weight 1 on its own frame, 0 on its neighbours'.
    assert [tuple(k.co) for k in fcurves[0].keyframe_points] == [(1.0, 0.0), (6.0, 1.0), (11.0, 0.0)], case
    assert [tuple(k.co) for k in fcurves[-1].keyframe_points] == [(36.0, 0.0), (41.0, 1.0)], case
    print("ok:", case, len(made.data.vertices), "vertices")


def real_mesh(name, folder):
    with tarfile.open(CGAL_DATA) as data:
        member = data.getmember("data/meshes/%s.off" % name)
        data.extract(member, folder)
    V, F = vorlane.read_mesh(os.path.join(folder, member.name))
    mesh = bpy.data.meshes.new(name)
    mesh.from_pydata(V.tolist(), [], F.tolist())
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.collection.objects.link(obj)
    return obj


def main():
    # note: factory settings drop every add-on, so enable it after.
    bpy.ops.wm.read_factory_settings(use_empty=True)
    addon_utils.enable("vorlane_morph", default_set=True)
    bpy.context.preferences.addons["vorlane_morph"].preferences.module_folder = package_dir
    bpy.ops.mesh.primitive_cube_add(size=2.0, location=(3.0, 0.0, 0.5), rotation=(0.3, 0.2, 0.1))
    cube = bpy.context.active_object
    cube.modifiers.new("bevel", "BEVEL").width = 0.2
    bpy.ops.mesh.primitive_uv_sphere_add(radius=1.5, location=(-1.0, 2.0, 0.0), rotation=(0.0, 0.7, 0.0))
    sphere = bpy.context.active_object
    check_morph(cube, sphere, "bevelled cube to UV sphere")
    with tempfile.TemporaryDirectory() as folder:
        hand, cow = real_mesh("hand", folder), real_mesh("cow", folder)
        cow.location = (5.0, 0.0, 0.0)
        cow.scale = (2.0, 2.0, 2.0)
        check_morph(hand, cow, "hand to cow")
    # A bad mesh is reported, not raised: a torus has a hole through it.
    bpy.ops.mesh.primitive_torus_add()
    torus = bpy.context.active_object
    bpy.ops.object.select_all(action="DESELECT")
    torus.select_set(True)
    sphere.select_set(True)
    bpy.context.view_layer.objects.active = sphere
    try:
        bpy.ops.object.vorlane_morph()
    except RuntimeError as error:
        assert "Vorlane: source: the mesh has genus 1 (V - E + F = 0)" in str(error), error
    else:
        raise AssertionError("a torus was morphed")


try:
    main()
except Exception:
    traceback.print_exc()
    sys.exit(1)
print("blender add-on: all checks passed")

# Imports a glTF morph into Blender and prints what Blender made of it:
#   blender -b --factory-startup --python scripts/check-blender.py -- morph.glb
# Not part of the tests: Blender is large and outside the Debian packages the
# build needs (apt-get install blender python3-numpy).
import sys

import numpy

# Blender 3.4's glTF importer still uses an alias that Debian 12's numpy dropped.
if not hasattr(numpy, "bool"):
    numpy.bool = bool

import bpy

path = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=path)
for obj in bpy.data.objects:
    if obj.type != "MESH":
        continue
    mesh = obj.data
    print(f"{obj.name}: {len(mesh.vertices)} vertices, {len(mesh.polygons)} faces")
    keys = mesh.shape_keys
    if keys is None:
        print("  no shape keys")
        continue
    print("  shape keys:", ", ".join(k.name for k in keys.key_blocks))
    basis, last = keys.key_blocks[0], keys.key_blocks[-1]
    moved = sum(1 for a, b in zip(basis.data, last.data) if (a.co - b.co).length > 1e-6)
    print(f"  '{last.name}' moves {moved} of {len(basis.data)} vertices")
    action = keys.animation_data.action if keys.animation_data else None
    if action is not None:
        for curve in action.fcurves:
            print(f"  animated: {curve.data_path}, {len(curve.keyframe_points)} keyframes")

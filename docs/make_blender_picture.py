"""blender -b --python docs/make_blender_picture.py -- BUILD/python OUT.png:
the add-on's morph of a bevelled cube into a UV sphere, halfway, beside
both inputs, drawn by Blender's viewport renderer (Workbench)."""
import os
import sys

import bpy

package_dir, out = sys.argv[sys.argv.index("--") + 1:][:2]
sys.path[:0] = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "blender"), package_dir]
import addon_utils  # noqa: E402

bpy.ops.wm.read_factory_settings(use_empty=True)
addon_utils.enable("vorlane_morph", default_set=True)
bpy.context.preferences.addons["vorlane_morph"].preferences.module_folder = package_dir
bpy.ops.mesh.primitive_cube_add(size=2.0, location=(-3.5, 0.0, 0.0), rotation=(0.3, 0.2, 0.1))
cube = bpy.context.active_object
cube.modifiers.new("bevel", "BEVEL").width = 0.2
bpy.ops.mesh.primitive_uv_sphere_add(radius=1.3, location=(3.5, 0.0, 0.0))
sphere = bpy.context.active_object
bpy.ops.object.select_all(action="DESELECT")
cube.select_set(True)
sphere.select_set(True)
bpy.context.view_layer.objects.active = sphere
bpy.ops.object.vorlane_morph(frame_start=1, frame_end=41)
morph = bpy.context.active_object
# Halfway, the shape stands between the two in world space.
bpy.context.scene.frame_set(21)
for o in (cube, sphere, morph):
    o.data.polygons.foreach_set("use_smooth", [False] * len(o.data.polygons))
bpy.ops.object.camera_add(location=(0.0, -16.0, 5.0), rotation=(1.27, 0.0, 0.0))
bpy.context.scene.camera = bpy.context.active_object
scene = bpy.context.scene
scene.render.engine = "BLENDER_WORKBENCH"
scene.display.shading.show_cavity = True
scene.display.shading.color_type = "OBJECT"
cube.color, sphere.color, morph.color = (0.9, 0.3, 0.3, 1), (0.3, 0.8, 0.9, 1), (0.8, 0.8, 0.5, 1)
scene.render.resolution_x, scene.render.resolution_y = 960, 400
scene.render.filepath = out
bpy.ops.render.render(write_still=True)

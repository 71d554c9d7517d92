"""Morphs one mesh object into another of any connectivity, as shape keys.

Object > Morph Selected to Active (or Active to Selected): a new object holds
the merged mesh of the two, its Basis on the first shape and its last key on
the second, keyframed over the frames the operator is given. Both inputs are
left as they are. The merge runs beside Blender's interface; Esc stops
waiting for it.
"""

import sys
import threading

import bpy
import numpy as np
from bpy.props import EnumProperty, IntProperty, StringProperty

bl_info = {
    "name": "Vorlane Morph",
    "author": "Vorlane",
    "version": (0, 1, 0),
    "blender": (3, 4, 0),
    "location": "Object > Morph Selected to Active",
    "description": "Morphs one mesh into another of any connectivity, as shape keys",
    "category": "Object",
}


class VorlanePreferences(bpy.types.AddonPreferences):
    bl_idname = __name__

    module_folder: StringProperty(
        name="Vorlane module folder",
        description="Folder holding the vorlane package (BUILD/python); empty: Python's own search path",
        subtype="DIR_PATH",
        default="",
    )

    def draw(self, context):
        self.layout.prop(self, "module_folder")


def import_vorlane(context):
    """The vorlane module, from the folder the preferences name if any."""
    addon = context.preferences.addons.get(__name__)
    folder = bpy.path.abspath(addon.preferences.module_folder) if addon else ""
    if folder and folder not in sys.path:
        sys.path.insert(0, folder)
    import vorlane
    return vorlane


def world_mesh(obj, depsgraph):
    """(V, F) of obj as the user sees it: modifiers applied, in world space."""
    evaluated = obj.evaluated_get(depsgraph)
    mesh = evaluated.to_mesh()
    try:
        mesh.calc_loop_triangles()
        V = np.empty(3 * len(mesh.vertices), np.float32)
        mesh.vertices.foreach_get("co", V)
        F = np.empty(3 * len(mesh.loop_triangles), np.int32)
        mesh.loop_triangles.foreach_get("vertices", F)
    finally:
        evaluated.to_mesh_clear()
    matrix = np.array(obj.matrix_world, dtype=np.float64)
    V = V.reshape(-1, 3).astype(np.float64) @ matrix[:3, :3].T + matrix[:3, 3]
    F = F.reshape(-1, 3)
    # note: a mirroring transform turns the faces inside out.
    if np.linalg.det(matrix[:3, :3]) < 0:
        F = F[:, ::-1].copy()
    return V, F


# Shape keys along the path: its in-betweens at 1/8, 2/8, ... and the end.
PATH_KEYS = 8


def build_object(context, name, morph, frame_start, frame_end):
    """A new mesh object with the morph as shape keys, keyed to play."""
    start = morph.start.astype(np.float32)
    faces = morph.faces.astype(np.int32)
    mesh = bpy.data.meshes.new(name)
    mesh.vertices.add(len(start))
    mesh.vertices.foreach_set("co", start.ravel())
    mesh.loops.add(3 * len(faces))
    mesh.loops.foreach_set("vertex_index", faces.ravel())
    mesh.polygons.add(len(faces))
    mesh.polygons.foreach_set("loop_start", np.arange(0, 3 * len(faces), 3, dtype=np.int32))
    mesh.polygons.foreach_set("loop_total", np.full(len(faces), 3, dtype=np.int32))
    mesh.update(calc_edges=True)
    obj = bpy.data.objects.new(name, mesh)
    context.collection.objects.link(obj)
    obj.shape_key_add(name="Basis", from_mix=False)
    # The path's in-betweens, then the end: each key a whole pose, weighted
    # 1 at its own frame and 0 at its neighbours', so two at most are mixed.
    count = PATH_KEYS
    targets = [morph.at(i / count) for i in range(1, count)] + [morph.end]
    keys = []
    for i, positions in enumerate(targets):
        key = obj.shape_key_add(name="Vorlane %d" % (i + 1), from_mix=False)
        key.data.foreach_set("co", positions.astype(np.float32).ravel())
        keys.append(key)
    span = (frame_end - frame_start) / len(keys)
    for i, key in enumerate(keys):
        own = frame_start + (i + 1) * span
        for frame, value in ((own - span, 0.0), (own, 1.0)) + (((own + span, 0.0),) if i + 1 < len(keys) else ()):
            key.value = value
            key.keyframe_insert("value", frame=frame)
    for curve in mesh.shape_keys.animation_data.action.fcurves:
        for point in curve.keyframe_points:
            point.interpolation = "LINEAR"
    return obj


DIRECTIONS = [("SELECTED_TO_ACTIVE", "Selected to Active", "The other selected object morphs into the active one"),
              ("ACTIVE_TO_SELECTED", "Active to Selected", "The active object morphs into the other selected one")]


# note: Blender cannot call a registered operator's subclass, so both share a mixin.
class MorphOperator:
    bl_options = {"REGISTER", "UNDO"}

    frame_start: IntProperty(name="First frame", default=1)
    frame_end: IntProperty(name="Last frame", default=41)
    threads: IntProperty(name="Threads", description="0: every core", default=0, min=0)

    @classmethod
    def poll(cls, context):
        active = context.active_object
        others = [o for o in context.selected_objects if o is not active]
        return active is not None and active.type == "MESH" and len(others) == 1 and others[0].type == "MESH"

    def _inputs(self, context):
        active = context.active_object
        other = next(o for o in context.selected_objects if o is not active)
        if self.direction == "SELECTED_TO_ACTIVE":
            return other, active
        return active, other

    def invoke(self, context, event):
        return self.execute(context) if context.window is None else self._start(context)

    def execute(self, context):
        """Runs the merge to its end (scripts and headless runs)."""
        source, target = self._inputs(context)
        try:
            vorlane = import_vorlane(context)
            depsgraph = context.evaluated_depsgraph_get()
            morph = vorlane.morph(world_mesh(source, depsgraph), world_mesh(target, depsgraph), threads=self.threads)
        except (ImportError, ValueError) as error:
            self.report({"ERROR"}, "Vorlane: %s" % error)
            return {"CANCELLED"}
        self._finish(context, source, target, morph)
        return {"FINISHED"}

    def _finish(self, context, source, target, morph):
        obj = build_object(context, "%s to %s" % (source.name, target.name), morph, self.frame_start, self.frame_end)
        for o in context.selected_objects:
            o.select_set(False)
        obj.select_set(True)
        context.view_layer.objects.active = obj
        s = morph.summary
        self.report({"INFO"}, "Vorlane: %d vertices, %d triangles, %d crossings" % (s["vertices"], s["faces"], s["crossings"]))

    def _start(self, context):
        self._source, self._target = self._inputs(context)
        try:
            vorlane = import_vorlane(context)
        except ImportError as error:
            self.report({"ERROR"}, "Vorlane: %s (set the module folder in the add-on's preferences)" % error)
            return {"CANCELLED"}
        depsgraph = context.evaluated_depsgraph_get()
        meshes = (world_mesh(self._source, depsgraph), world_mesh(self._target, depsgraph))
        self._state = {"phase": "starting", "fraction": 0.0, "morph": None, "error": None}
        state = self._state

        def run():
            try:
                state["morph"] = vorlane.morph(*meshes, threads=self.threads, progress=lambda p, f: state.update(phase=p, fraction=f))
            except ValueError as error:
                state["error"] = str(error)

        self._thread = threading.Thread(target=run, daemon=True)
        self._thread.start()
        self._timer = context.window_manager.event_timer_add(0.1, window=context.window)
        context.window_manager.modal_handler_add(self)
        return {"RUNNING_MODAL"}

    def modal(self, context, event):
        if event.type == "ESC":
            self._end(context)
            self.report({"WARNING"}, "Vorlane: stopped waiting for the merge")
            return {"CANCELLED"}
        if event.type != "TIMER":
            return {"PASS_THROUGH"}
        if self._thread.is_alive():
            context.workspace.status_text_set("Vorlane: %s %d%% (Esc stops)" % (self._state["phase"], round(100 * self._state["fraction"])))
            return {"RUNNING_MODAL"}
        self._end(context)
        if self._state["error"]:
            self.report({"ERROR"}, "Vorlane: %s" % self._state["error"])
            return {"CANCELLED"}
        self._finish(context, self._source, self._target, self._state["morph"])
        return {"FINISHED"}

    def _end(self, context):
        context.window_manager.event_timer_remove(self._timer)
        context.workspace.status_text_set(None)


class OBJECT_OT_vorlane_morph(MorphOperator, bpy.types.Operator):
    """Morph one selected mesh object into the other, as a new object with shape keys"""

    bl_idname = "object.vorlane_morph"
    bl_label = "Morph Selected to Active"

    direction: EnumProperty(name="Direction", items=DIRECTIONS, default="SELECTED_TO_ACTIVE")


class OBJECT_OT_vorlane_morph_reverse(MorphOperator, bpy.types.Operator):
    """Morph the active mesh object into the other selected one, as a new object with shape keys"""

    bl_idname = "object.vorlane_morph_active"
    bl_label = "Morph Active to Selected"

    direction: EnumProperty(name="Direction", items=DIRECTIONS, default="ACTIVE_TO_SELECTED")


def menu(self, context):
    self.layout.separator()
    self.layout.operator(OBJECT_OT_vorlane_morph.bl_idname)
    self.layout.operator(OBJECT_OT_vorlane_morph_reverse.bl_idname)


classes = (VorlanePreferences, OBJECT_OT_vorlane_morph, OBJECT_OT_vorlane_morph_reverse)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.VIEW3D_MT_object.append(menu)


def unregister():
    bpy.types.VIEW3D_MT_object.remove(menu)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)

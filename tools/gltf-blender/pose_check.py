# Poses a glTF file in Blender and compares it with OBJ files of the same poses.
#   blender -b --python pose_check.py -- FILE.glb TOLERANCE TIME=FRAME.obj...
# Blender imports the file as its users would (its glTF importer, default options), is set
# to each TIME (seconds, at the scene's frame rate), and every posed vertex of every mesh is
# compared with the points the OBJ's faces use, both ways: the largest distance from a
# vertex to the nearest point, and from a point to the nearest vertex. Prints one line per
# time; exits with 1 when a distance is above TOLERANCE. Coordinates are glTF's (Y up).
import sys

import bpy
import numpy
from mathutils import Vector, kdtree

if not hasattr(numpy, "bool"):
    numpy.bool = bool  # Debian pairs Blender 3.4 with a numpy that dropped the alias its importer uses

args = sys.argv[sys.argv.index("--") + 1:]
path, tolerance, pairs = args[0], float(args[1]), [a.split("=", 1) for a in args[2:]]

bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=path)
scene = bpy.context.scene
fps = scene.render.fps / scene.render.fps_base


def obj_points(obj_path):
    points, used = [], set()
    with open(obj_path) as f:
        for line in f:
            p = line.split()
            if p and p[0] == "v":
                points.append(Vector([float(x) for x in p[1:4]]))
            elif p and p[0] == "f":
                used.update(int(c.split("/")[0]) - 1 for c in p[1:])
    return [points[i] for i in sorted(used)]


def posed_vertices():
    graph = bpy.context.evaluated_depsgraph_get()
    out = []
    for ob in scene.objects:
        if ob.type != "MESH":
            continue
        ev = ob.evaluated_get(graph)
        mesh = ev.to_mesh()
        for v in mesh.vertices:
            p = ev.matrix_world @ v.co
            out.append(Vector((p.x, p.z, -p.y)))  # Blender's Z up back to glTF's Y up
        ev.to_mesh_clear()
    return out


def farthest(points, others):
    tree = kdtree.KDTree(len(others))
    for i, p in enumerate(others):
        tree.insert(p, i)
    tree.balance()
    return max((tree.find(p)[2] for p in points), default=0.0)


worst = 0.0
for time, obj_path in pairs:
    frame = float(time) * fps
    scene.frame_set(int(frame // 1), subframe=frame - frame // 1)
    blender, obj = posed_vertices(), obj_points(obj_path)
    if not blender or not obj:
        print("t=%s: nothing to compare (%d vertices, %d points)" % (time, len(blender), len(obj)))
        worst = float("inf")
        continue
    d = max(farthest(blender, obj), farthest(obj, blender))
    worst = max(worst, d)
    print("t=%s: %.3g (%d vertices, %d points)" % (time, d, len(blender), len(obj)))
print("largest distance: %.3g" % worst)
sys.exit(0 if worst <= tolerance else 1)

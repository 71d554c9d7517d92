#!/usr/bin/env python3
"""Draws docs/morph-your-own.png: five steps of a morph between two meshes
made here (a star-shaped prism and a bumpy ball), merged by vorlane-merge;
or, given two mesh files, of those.

    python3 docs/make_morph_picture.py BUILD/tools/vorlane-merge [OUT.png [SOURCE TARGET]]

Pure Python: the meshes are written as OFF and binary STL, each step comes
back as binary PLY, and a small z-buffer rasteriser draws the faces flat
shaded with the merged edges darkened.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

STEPS = (0, 5, 10, 15, 20)
PANEL = 260
SOURCE_COLOUR = (235, 150, 60)
TARGET_COLOUR = (70, 130, 220)


def star_prism_off(path, points=5, outer=1.0, inner=0.45, height=0.8):
    polygon = []
    for i in range(2 * points):
        radius = outer if i % 2 == 0 else inner
        angle = math.pi / 2 + i * math.pi / points
        polygon.append((radius * math.cos(angle), radius * math.sin(angle)))
    n = len(polygon)
    vertices = [(x, y, -height / 2) for x, y in polygon] + [(x, y, height / 2) for x, y in polygon]
    faces = [list(reversed(range(n))), list(range(n, 2 * n))]
    faces += [[i, (i + 1) % n, n + (i + 1) % n, n + i] for i in range(n)]
    with open(path, "w") as out:
        out.write("OFF\n%d %d 0\n" % (len(vertices), len(faces)))
        for v in vertices:
            out.write("%.6f %.6f %.6f\n" % v)
        for f in faces:
            out.write("%d %s\n" % (len(f), " ".join(map(str, f))))


def bumpy_ball_stl(path, level=2):
    t = (1 + 5 ** 0.5) / 2
    vertices = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
                (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    faces = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2),
             (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5),
             (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    vertices = [tuple(c / math.sqrt(sum(x * x for x in v)) for c in v) for v in vertices]
    for _ in range(level):
        middle = {}

        def halfway(a, b):
            key = (min(a, b), max(a, b))
            if key not in middle:
                m = [(vertices[a][i] + vertices[b][i]) / 2 for i in range(3)]
                length = math.sqrt(sum(c * c for c in m))
                vertices.append(tuple(c / length for c in m))
                middle[key] = len(vertices) - 1
            return middle[key]

        split = []
        for a, b, c in faces:
            ab, bc, ca = halfway(a, b), halfway(b, c), halfway(c, a)
            split += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        faces = split
    bumped = []
    for x, y, z in vertices:
        r = 0.85 + 0.15 * math.sin(3 * math.atan2(y, x)) * math.cos(2 * math.acos(max(-1, min(1, z))))
        bumped.append((x * r, y * r, z * r))
    with open(path, "wb") as out:
        out.write(b"bumpy ball".ljust(80, b" "))
        out.write(struct.pack("<I", len(faces)))
        for face in faces:
            out.write(struct.pack("<3f", 0, 0, 0))
            for v in face:
                out.write(struct.pack("<3f", *bumped[v]))
            out.write(b"\0\0")


def read_ply(path):
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    header = data[:end].decode().split("\n")
    vertex_count = int(next(l for l in header if l.startswith("element vertex")).split()[2])
    face_count = int(next(l for l in header if l.startswith("element face")).split()[2])
    vertices = [struct.unpack_from("<3f", data, end + 12 * i) for i in range(vertex_count)]
    base = end + 12 * vertex_count
    faces = [struct.unpack_from("<3i", data, base + 13 * i + 1) for i in range(face_count)]
    return vertices, faces


def turn(v):
    yaw, pitch = math.radians(30), math.radians(-60)
    x, y, z = v
    x, y = x * math.cos(yaw) - y * math.sin(yaw), x * math.sin(yaw) + y * math.cos(yaw)
    y, z = y * math.cos(pitch) - z * math.sin(pitch), y * math.sin(pitch) + z * math.cos(pitch)
    return x, y, z


def draw(image, width, left, mesh, colour, scale):
    vertices, faces = mesh
    light = (0.35, 0.55, 0.76)
    points = [turn(v) for v in vertices]
    screen = [(left + PANEL / 2 + p[0] * scale, PANEL / 2 - p[1] * scale, p[2]) for p in points]
    depth = [[-1e9] * PANEL for _ in range(PANEL)]
    for a, b, c in faces:
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = screen[a], screen[b], screen[c]
        area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax)
        if area >= 0:  # facing away (y runs down the image)
            continue
        pa, pb, pc = points[a], points[b], points[c]
        u = [pb[i] - pa[i] for i in range(3)]
        w = [pc[i] - pa[i] for i in range(3)]
        n = (u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0])
        length = math.sqrt(sum(c * c for c in n)) or 1.0
        shade = 0.3 + 0.7 * max(0.0, sum(n[i] * light[i] for i in range(3)) / length)
        rgb = tuple(min(255, int(c * shade)) for c in colour)
        x0, x1 = max(int(min(ax, bx, cx)), left), min(int(max(ax, bx, cx)) + 1, left + PANEL - 1)
        y0, y1 = max(int(min(ay, by, cy)), 0), min(int(max(ay, by, cy)) + 1, PANEL - 1)
        for py in range(y0, y1 + 1):
            for px in range(x0, x1 + 1):
                sx, sy = px + 0.5, py + 0.5
                l0 = ((bx - sx) * (cy - sy) - (by - sy) * (cx - sx)) / area
                l1 = ((cx - sx) * (ay - sy) - (cy - sy) * (ax - sx)) / area
                l2 = 1.0 - l0 - l1
                if l0 < 0 or l1 < 0 or l2 < 0:
                    continue
                z = l0 * az + l1 * bz + l2 * cz
                row = depth[py]
                if z <= row[px - left]:
                    continue
                row[px - left] = z
                # note: pixels near a triangle's edge are darkened to show the merged topology.
                edge = min(l0 * abs(area) / math.hypot(cx - bx, cy - by) if (cx, cy) != (bx, by) else 9,
                           l1 * abs(area) / math.hypot(ax - cx, ay - cy) if (ax, ay) != (cx, cy) else 9,
                           l2 * abs(area) / math.hypot(bx - ax, by - ay) if (bx, by) != (ax, ay) else 9)
                k = 0.55 if edge < 0.6 else 1.0
                at = (py * width + px) * 3
                image[at:at + 3] = bytes(int(c * k) for c in rgb)


def write_png(path, width, height, image):
    rows = b"".join(b"\0" + bytes(image[y * width * 3:(y + 1) * width * 3]) for y in range(height))

    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    tool = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                              "morph-your-own.png")
    with tempfile.TemporaryDirectory() as work:
        if len(sys.argv) > 4:
            star, ball = sys.argv[3], sys.argv[4]
        else:
            star = os.path.join(work, "star.off")
            ball = os.path.join(work, "bumpy.stl")
            star_prism_off(star)
            bumpy_ball_stl(ball)
        meshes = []
        for step in STEPS:
            ply = os.path.join(work, "step%d.ply" % step)
            path = ["--path", sys.argv[5]] if len(sys.argv) > 5 else []
            subprocess.run([tool, star, ball, "-o", ply, "--step", str(step)] + path, check=True, stdout=subprocess.DEVNULL)
            meshes.append(read_ply(ply))
    extent = max(max(abs(c) for v in mesh[0] for c in turn(v)[:2]) for mesh in meshes)
    scale = 0.45 * PANEL / extent
    width = PANEL * len(STEPS)
    image = bytearray([250, 250, 250] * width * PANEL)
    for i, (step, mesh) in enumerate(zip(STEPS, meshes)):
        t = step / 20
        colour = tuple(int(s + t * (e - s)) for s, e in zip(SOURCE_COLOUR, TARGET_COLOUR))
        draw(image, width, i * PANEL, mesh, colour, scale)
    write_png(out, width, PANEL, image)
    print("wrote", out)


if __name__ == "__main__":
    main()

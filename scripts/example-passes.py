#!/usr/bin/env python3
"""Ray-casts the small render that docs/example/scene.json reads.

A right-handed, y-up world (the habit of most 3D packages): a ball on a floor, seen by a camera
that moves over two frames. Each frame is one multi-layer EXR as a renderer writes it: the
beauty (R, G, B, A), the world position (P.X, P.Y, P.Z) and the world normal (N.X, N.Y, N.Z),
all 32-bit float, with the standard worldToCamera and worldToNDC matrices in the header (camera
space looking down -Z, NDC from -1 to 1 with y up). The same camera is written as a .chan file.

Usage: scripts/example-passes.py [FOLDER]   (default: docs/example/renders)
Needs nothing but Python 3.
"""
import math
import os
import struct
import sys

WIDTH, HEIGHT = 160, 90
VFOV = 40.0  # degrees, vertical
# Per frame: position and rotation in degrees about world z, then x, then y (the .chan order).
FRAMES = [((0.0, 1.6, 6.0), (-10.0, 0.0, 0.0)), ((2.5, 2.2, 5.2), (-15.0, 25.0, 8.0))]
BALL, RADIUS = (0.0, 1.0, 0.0), 1.0
LIGHT = (0.4, 0.8, 0.45)  # direction toward the light that shades the beauty


def turn(axis, degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return {"x": [[1, 0, 0], [0, c, -s], [0, s, c]],
            "y": [[c, 0, s], [0, 1, 0], [-s, 0, c]],
            "z": [[c, -s, 0], [s, c, 0], [0, 0, 1]]}[axis]


def mul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(len(b))) for j in range(len(b[0]))]
            for i in range(len(a))]


def rotation(rx, ry, rz):
    """Columns: the camera's x, y and z in the world (z turned first, then x, then y)."""
    return mul(turn("y", ry), mul(turn("x", rx), turn("z", rz)))


def cast(origin, d):
    """Nearest hit of the ray with the ball or the floor: (point, normal, colour) or None."""
    best = None
    oc = [origin[i] - BALL[i] for i in range(3)]
    b = sum(oc[i] * d[i] for i in range(3))
    c = sum(v * v for v in oc) - RADIUS * RADIUS
    disc = b * b - c
    if disc >= 0 and -b - math.sqrt(disc) > 0:
        t = -b - math.sqrt(disc)
        p = [origin[i] + t * d[i] for i in range(3)]
        best = (t, p, [(p[i] - BALL[i]) / RADIUS for i in range(3)], (0.8, 0.25, 0.1))
    if d[1] < 0:
        t = -origin[1] / d[1]
        if best is None or t < best[0]:
            p = [origin[i] + t * d[i] for i in range(3)]
            check = (math.floor(p[0]) + math.floor(p[2])) % 2
            best = (t, p, [0.0, 1.0, 0.0], (0.6, 0.6, 0.55) if check else (0.2, 0.25, 0.3))
    return None if best is None else best[1:]


def matrices(position, rot):
    """worldToCamera and worldToNDC as row-vector 4 x 4 matrices (Imath's layout)."""
    w2c = [[rot[i][j] for j in range(3)] + [0.0] for i in range(3)]
    w2c.append([-sum(position[i] * rot[i][j] for i in range(3)) for j in range(3)] + [1.0])
    f = 1.0 / math.tan(math.radians(VFOV) / 2)
    near, far = 0.1, 1000.0
    proj = [[f * HEIGHT / WIDTH, 0, 0, 0], [0, f, 0, 0],
            [0, 0, (far + near) / (near - far), -1], [0, 0, 2 * far * near / (near - far), 0]]
    return w2c, mul(w2c, proj)


def attribute(name, kind, value):
    return name.encode() + b"\0" + kind.encode() + b"\0" + struct.pack("<i", len(value)) + value


def write_exr(path, channels, w2c, w2n):
    """One-part scanline EXR, uncompressed, float channels (sorted by name, as EXR wants)."""
    names = sorted(channels)
    chlist = b"".join(n.encode() + b"\0" + struct.pack("<iB3xii", 2, 0, 1, 1) for n in names)
    box = struct.pack("<iiii", 0, 0, WIDTH - 1, HEIGHT - 1)
    header = b"".join([
        struct.pack("<ii", 20000630, 2),
        attribute("channels", "chlist", chlist + b"\0"),
        attribute("compression", "compression", b"\0"),
        attribute("dataWindow", "box2i", box),
        attribute("displayWindow", "box2i", box),
        attribute("lineOrder", "lineOrder", b"\0"),
        attribute("pixelAspectRatio", "float", struct.pack("<f", 1.0)),
        attribute("screenWindowCenter", "v2f", struct.pack("<ff", 0.0, 0.0)),
        attribute("screenWindowWidth", "float", struct.pack("<f", 1.0)),
        attribute("worldToCamera", "m44f", struct.pack("<16f", *sum(w2c, []))),
        attribute("worldToNDC", "m44f", struct.pack("<16f", *sum(w2n, []))),
        b"\0"])
    line_bytes = 4 * WIDTH * len(names)
    start = len(header) + 8 * HEIGHT
    offsets = struct.pack("<%dQ" % HEIGHT, *[start + y * (8 + line_bytes) for y in range(HEIGHT)])
    with open(path, "wb") as out:
        out.write(header + offsets)
        for y in range(HEIGHT):
            out.write(struct.pack("<ii", y, line_bytes))
            for n in names:
                out.write(struct.pack("<%df" % WIDTH, *channels[n][y * WIDTH:(y + 1) * WIDTH]))


def render(position, rot):
    f = (HEIGHT / 2) / math.tan(math.radians(VFOV) / 2)
    layers = {n: [0.0] * (WIDTH * HEIGHT)
              for n in ("R", "G", "B", "A", "P.X", "P.Y", "P.Z", "N.X", "N.Y", "N.Z")}
    for j in range(HEIGHT):
        for i in range(WIDTH):
            cam = ((i + 0.5 - WIDTH / 2) / f, -(j + 0.5 - HEIGHT / 2) / f, -1.0)
            d = [sum(rot[a][k] * cam[k] for k in range(3)) for a in range(3)]
            length = math.sqrt(sum(v * v for v in d))
            hit = cast(position, [v / length for v in d])
            if hit is None:
                continue
            p, n, colour = hit
            shade = 0.15 + 0.85 * max(0.0, sum(n[k] * LIGHT[k] for k in range(3)))
            k = j * WIDTH + i
            for name, value in zip(("R", "G", "B"), colour):
                layers[name][k] = value * shade
            layers["A"][k] = 1.0
            for a, axis in enumerate("XYZ"):
                layers["P." + axis][k] = p[a]
                layers["N." + axis][k] = n[a]
    return layers


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join("docs", "example", "renders")
    os.makedirs(folder, exist_ok=True)
    chan = []
    for frame, (position, (rx, ry, rz)) in enumerate(FRAMES, start=1):
        rot = rotation(rx, ry, rz)
        w2c, w2n = matrices(position, rot)
        path = os.path.join(folder, "shot.%04d.exr" % frame)
        write_exr(path, render(position, rot), w2c, w2n)
        chan.append("%d %g %g %g %g %g %g %g" % (frame, *position, rx, ry, rz, VFOV))
        print("wrote", path)
    with open(os.path.join(folder, "shot.chan"), "w") as out:
        out.write("# frame tx ty tz rx ry rz vfov\n" + "\n".join(chan) + "\n")
    print("wrote", os.path.join(folder, "shot.chan"))


if __name__ == "__main__":
    main()

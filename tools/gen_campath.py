#!/usr/bin/env python3
"""Write uv.cam: 600 camera rotations, nine little-endian float32 each
(m00 m01 m02 m10 m11 m12 m20 m21 m22).

The player steps two records per frame and wraps to record 1, so it shows
records 0, 2, ..., 598 once and then 1, 3, ..., 599 over and over.  The
path is a closed loop L(s), s in [0, 1), sampled at 300 poses: the odd
records hold the loop itself (record 2j+1 = L(j/300)), the even records
the same loop half a step later (record 2j = L((j + 0.5)/300)).  The first
pass therefore runs along the loop, and record 598 = L(299.5/300) sits half
a step before record 1 = L(0); from then on the odd records go round the
loop and 599 = L(299/300) is one step before 1.
"""
import math
import os
import struct
import sys

import numpy as np

POSES = 300
RECORDS = 2 * POSES
TAU = 2.0 * math.pi


def rot_x(a):
    c, s = math.cos(a), math.sin(a)
    return np.array([[1, 0, 0], [0, c, -s], [0, s, c]])


def rot_y(a):
    c, s = math.cos(a), math.sin(a)
    return np.array([[c, 0, s], [0, 1, 0], [-s, 0, c]])


def rot_z(a):
    c, s = math.cos(a), math.sin(a)
    return np.array([[c, -s, 0], [s, c, 0], [0, 0, 1]])


def loop_pose(s):
    """Camera rotation at loop position s (period 1).  One full turn about
    the vertical axis per loop, with a nodding pitch and a slow roll so the
    blob is seen from above and below as well."""
    yaw = TAU * s + 0.35 * math.sin(TAU * 2 * s + 0.4)
    pitch = 0.50 * math.sin(TAU * s + 1.0) + 0.18 * math.sin(TAU * 3 * s)
    roll = 0.30 * math.sin(TAU * 2 * s + 2.0) + 0.12 * math.sin(TAU * s)
    return rot_z(roll) @ rot_x(pitch) @ rot_y(yaw)


def orthonormalise(m):
    u, _s, vt = np.linalg.svd(m)
    r = u @ vt
    if np.linalg.det(r) < 0:
        u[:, -1] = -u[:, -1]
        r = u @ vt
    return r


def build_records():
    recs = np.empty((RECORDS, 3, 3))
    for j in range(POSES):
        recs[2 * j + 1] = orthonormalise(loop_pose(j / POSES))
        recs[2 * j] = orthonormalise(loop_pose((j + 0.5) / POSES))
    return recs


def play_order(count=RECORDS):
    """Record indices in the order the player shows them: the even records
    once, then the odd ones, then back to record 1."""
    return list(range(0, count, 2)) + list(range(1, count, 2)) + [1]


def step_angle(a, b):
    """Angle in degrees of the rotation taking a to b."""
    c = (np.trace(a.T @ b) - 1.0) / 2.0
    return math.degrees(math.acos(max(-1.0, min(1.0, c))))


def max_play_step(recs):
    order = play_order(len(recs))
    return max(step_angle(recs[i], recs[j]) for i, j in zip(order, order[1:]))


def encode(recs):
    out = bytearray()
    for m in recs:
        out += struct.pack("<9f", *[float(v) for v in m.reshape(9)])
    return bytes(out)


def decode(blob):
    vals = struct.unpack("<%df" % (len(blob) // 4), blob)
    return np.array(vals, dtype=np.float64).reshape(-1, 3, 3)


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "data"
    recs = build_records()
    blob = encode(recs)
    with open(os.path.join(out_dir, "uv.cam"), "wb") as f:
        f.write(blob)
    print("uv.cam: %d records, max step %.3f degrees"
          % (RECORDS, max_play_step(decode(blob))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

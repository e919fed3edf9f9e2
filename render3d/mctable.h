// mctable: the constant tables of marching cubes.
//
// A cube of the sample grid has its lower corner at sample (a, i, j). Its
// eight corners are numbered as below; corner c contributes bit 1 << c to the
// cube index when its sample is inside the surface. The twelve edges join the
// corner pairs of kEdgeCorners; edge e is also one grid edge, the one that
// starts at sample (a, i, j) + kEdgeStart[e] and runs one step along its axis.
// kTriTable is the widely published triangle table that goes with this
// numbering: one row per cube index, up to five triangles as triples of edge
// numbers, ended by -1 (820 triangles in all).
#pragma once

#include <cstdint>

constexpr int kCubeCorners = 8;
constexpr int kCubeEdges = 12;
constexpr int kCubeIndices = 256;
constexpr int kTriRowLength = 16;

// Offset (dx, dy, dz) of each corner from the cube's lower corner.
struct corner_offset {
  int8_t dx, dy, dz;
};
constexpr corner_offset kCornerOffset[kCubeCorners] = {
    {1, 0, 1}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0},
    {1, 1, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0},
};

// The two corners each edge joins.
constexpr int8_t kEdgeCorners[kCubeEdges][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};

// Where each edge starts, relative to the cube's lower corner, and the axis it
// runs along (0 = x, 1 = y, 2 = z): the start is its lower-numbered end.
struct edge_start {
  int8_t dx, dy, dz, axis;
};
constexpr edge_start kEdgeStart[kCubeEdges] = {
    {0, 0, 1, 0}, {0, 0, 0, 2}, {0, 0, 0, 0}, {1, 0, 0, 2},
    {0, 1, 1, 0}, {0, 1, 0, 2}, {0, 1, 0, 0}, {1, 1, 0, 2},
    {1, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {1, 0, 0, 1},
};

extern const int8_t kTriTable[kCubeIndices][kTriRowLength];

#include "sprite.h"

#include "palette.h"

#include <algorithm>
#include <cmath>

namespace artgen {

namespace {

struct InkGrid {
    explicit InkGrid(int n) : size(n), cells((size_t)n * n) {}
    int size;
    std::vector<Ink> cells;
    Ink At(int x, int y) const {
        if (x < 0 || y < 0 || x >= size || y >= size)
            return kNoInk;
        return cells[(size_t)y * size + x];
    }
};

InkGrid SampleShape(int size, const Shape& shape, const RenderOptions& o) {
    InkGrid grid(size);
    const float c = std::cos(o.angle), s = std::sin(o.angle);
    const float centre = size * 0.5f;
    for (int y = o.margin; y < size - o.margin; ++y)
        for (int x = o.margin; x < size - o.margin; ++x) {
            float px = x + 0.5f - centre - o.dx, py = y + 0.5f - centre - o.dy;
            // Rotate the pixel back into the object's frame.
            float u = c * px + s * py, v = -s * px + c * py;
            grid.cells[(size_t)y * size + x] = shape(u, v);
        }
    return grid;
}

// Edges facing the top left catch the light, edges facing the bottom right fall in shadow.
int ShadedTone(const InkGrid& g, int x, int y) {
    Ink ink = g.At(x, y);
    if (ink.tone < 1 || ink.tone > 3)
        return ink.tone;
    bool lit = g.At(x - 1, y).ramp != ink.ramp || g.At(x, y - 1).ramp != ink.ramp;
    bool dark = g.At(x + 1, y).ramp != ink.ramp || g.At(x, y + 1).ramp != ink.ramp;
    if (lit && !dark)
        return ink.tone + 1;
    if (dark && !lit)
        return ink.tone - 1;
    return ink.tone;
}

Ink OutlineInk(const InkGrid& g, int x, int y) {
    const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
    for (int i = 0; i < 4; ++i) {
        Ink n = g.At(x + dx[i], y + dy[i]);
        if (!n.Empty() && n.tone > 0)
            return Ink{n.ramp, 0};
    }
    return kNoInk;
}

} // namespace

void Render(Sprite& sprite, const Shape& shape, const RenderOptions& o) {
    InkGrid grid = SampleShape(sprite.size, shape, o);
    const int lo = o.margin, hi = sprite.size - o.margin;
    for (int y = lo; y < hi; ++y)
        for (int x = lo; x < hi; ++x) {
            Ink ink = grid.At(x, y);
            if (ink.Empty() && o.outline)
                ink = OutlineInk(grid, x, y);
            else if (!ink.Empty() && o.shade)
                ink.tone = (int8_t)ShadedTone(grid, x, y);
            if (!ink.Empty())
                sprite.Set(x, y, GetRamp(ink.ramp)[std::clamp<int>(ink.tone, 0, 4)]);
        }
}

bool InCircle(float u, float v, float cx, float cy, float r) {
    float du = u - cx, dv = v - cy;
    return du * du + dv * dv <= r * r;
}

bool InEllipse(float u, float v, float cx, float cy, float rx, float ry) {
    float du = (u - cx) / rx, dv = (v - cy) / ry;
    return du * du + dv * dv <= 1.0f;
}

float SegmentDistance(float u, float v, float ax, float ay, float bx, float by) {
    float ex = bx - ax, ey = by - ay;
    float len2 = ex * ex + ey * ey;
    float t = len2 > 0 ? ((u - ax) * ex + (v - ay) * ey) / len2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    float du = u - (ax + t * ex), dv = v - (ay + t * ey);
    return std::sqrt(du * du + dv * dv);
}

bool InCapsule(float u, float v, float ax, float ay, float bx, float by, float r) {
    return SegmentDistance(u, v, ax, ay, bx, by) <= r;
}

bool InPolygon(float u, float v, const float* xy, int n) {
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
        if ((yi > v) != (yj > v) && u < (xj - xi) * (v - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t h = 0x9E3779B9u;
    for (uint32_t k : {a, b, c, d}) {
        h ^= k + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
    }
    h *= 0xC2B2AE35u;
    return h ^ (h >> 16);
}

float Noise(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return (Hash(a, b, c, d) >> 8) * (1.0f / 16777216.0f);
}

} // namespace artgen

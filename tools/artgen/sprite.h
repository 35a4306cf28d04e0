// Antialias-free sprite rendering: an object is a function from its own coordinates to an
// ink, sampled once per pixel centre after rotating the pixel into the object's frame.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace artgen {

// An ink names a ramp and a tone in it (0 outline .. 4 highlight); a negative ramp is empty.
struct Ink {
    int8_t ramp = -1;
    int8_t tone = 2;
    bool Empty() const { return ramp < 0; }
};

constexpr Ink kNoInk{};

// A square sprite area; -1 marks pixels left as the key colour.
struct Sprite {
    explicit Sprite(int nSize) : size(nSize), pixels((size_t)nSize * nSize, -1) {}
    int size;
    std::vector<int16_t> pixels;
    int16_t At(int x, int y) const { return pixels[(size_t)y * size + x]; }
    void Set(int x, int y, int16_t v) { pixels[(size_t)y * size + x] = v; }
};

using Shape = std::function<Ink(float u, float v)>;

struct RenderOptions {
    float angle = 0; // radians, clockwise on screen
    float dx = 0;    // offset of the object's origin from the sprite centre
    float dy = 0;
    int margin = 2;    // pixels kept free along every edge of the sprite area
    bool shade = true; // light from the top left on screen, whatever the rotation
    bool outline = true;
};

// Draws the shape over what the sprite already holds.
void Render(Sprite& sprite, const Shape& shape, const RenderOptions& options);

// Geometry in the object's frame.
bool InCircle(float u, float v, float cx, float cy, float r);
bool InEllipse(float u, float v, float cx, float cy, float rx, float ry);
bool InCapsule(float u, float v, float ax, float ay, float bx, float by, float r);
bool InPolygon(float u, float v, const float* xy, int nPoints);
float SegmentDistance(float u, float v, float ax, float ay, float bx, float by);

// Deterministic noise in [0, 1) from integer coordinates and a seed.
uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);
float Noise(uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);

constexpr float kPi = 3.14159265358979f;

} // namespace artgen

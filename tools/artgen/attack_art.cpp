#include "attack_art.h"

#include "palette.h"

#include <cmath>

namespace artgen {

namespace {

// What varies between rows of one kind.
struct Style {
    int kind;
    float s;     // size scale
    int a, b, c; // ramps: main material, fittings, accents
    int variant;
    uint32_t seed;
    int t; // moment of the throw, 0 first
};

template <size_t N> int Pick(const int (&ramps)[N], int i) {
    return ramps[(size_t)i % N];
}

Ink I(int ramp, int tone = 2) {
    return Ink{(int8_t)ramp, (int8_t)tone};
}

// Arc flight: the point starts raised and ends lowered.
float ArcAngle(int t) {
    return 0.3f - t * (0.6f / (kAttackFrames - 1));
}
// One turn per cycle, anticlockwise on screen, as an overhand throw towards the left spins.
float SpinAngle(const Style& st) {
    return -st.t * (2 * kPi / kAttackFrames) + st.variant * 0.4f;
}

struct Drawing {
    Shape shape;
    RenderOptions options;
};

Drawing Arrow(const Style& st) {
    float s = st.s, half = 20 * s;
    bool fletchUp = st.t % 2 == 0; // the fletching flutters
    Shape shape = [=](float u, float v) {
        float head[] = {-half,         0,       -half + 7 * s, -3.2f * s, -half + 5.5f * s, 0,
                        -half + 7 * s, 3.2f * s};
        if (InPolygon(u, v, head, 4))
            return I(st.a, v < 0 ? 3 : 2);
        float f = fletchUp ? 4.2f * s : 3.2f * s;
        float fl[] = {half - 9 * s, -0.5f, half - 2 * s, -0.5f, half, -f, half - 6 * s, -f};
        float fl2[] = {half - 9 * s, 0.5f, half - 2 * s, 0.5f, half, f, half - 6 * s, f};
        if (InPolygon(u, v, fl, 4) || InPolygon(u, v, fl2, 4))
            return I(st.c, 3);
        if (InCapsule(u, v, -half + 5 * s, 0, half, 0, 0.75f))
            return I(st.b);
        return kNoInk;
    };
    return {shape, {ArcAngle(st.t)}};
}

Drawing Dagger(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float blade[] = {-15 * s, 0, -5 * s, -3 * s, 2 * s, -3 * s, 2 * s, 3 * s, -5 * s, 3 * s};
        if (InPolygon(u, v, blade, 5))
            return I(st.a, std::fabs(v) < 0.6f ? 4 : (v < 0 ? 3 : 2));
        if (InCapsule(u, v, 3 * s, -6 * s, 3 * s, 6 * s, 1.3f))
            return I(st.b);
        if (InCircle(u, v, 12.5f * s, 0, 2.3f * s))
            return I(st.b, 3);
        if (InCapsule(u, v, 4 * s, 0, 11 * s, 0, 1.7f * s))
            return I(st.c, ((int)std::floor(u / 2)) % 2 ? 2 : 1);
        return kNoInk;
    };
    return {shape, {SpinAngle(st), 1.5f * s}};
}

Drawing Axe(const Style& st) {
    float s = st.s;
    // A fan-shaped head: narrow at the socket, a wide curved edge away from it.
    const float pu = -9 * s, pv = 1 * s;
    Shape shape = [=](float u, float v) {
        float du = u - pu, dv = v - pv;
        float r = std::sqrt(du * du + dv * dv), a = std::atan2(dv, du);
        if (r <= 11 * s && a > -2.75f && a < -0.95f)
            return I(st.a, r > 9.3f * s ? 4 : (a < -1.85f ? 3 : 2));
        if (InCircle(u, v, pu, 0, 2.4f * s))
            return I(st.a, 1);
        if (InCapsule(u, v, pu, 0, 13 * s, 0, 1.6f * s))
            return I(st.b, u > 9 * s ? 1 : 2);
        return kNoInk;
    };
    return {shape, {SpinAngle(st), 0, 2 * s}};
}

Drawing Spear(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float head[] = {-21 * s,   0,       -16 * s,  -2.8f * s, -12 * s,
                        -1.4f * s, -12 * s, 1.4f * s, -16 * s,   2.8f * s};
        if (InPolygon(u, v, head, 5))
            return I(st.a, v < 0 ? 3 : 2);
        if (InCapsule(u, v, -12 * s, 0, -10 * s, 0, 1.4f))
            return I(st.c);
        if (InCapsule(u, v, -12 * s, 0, 20 * s, 0, 0.8f))
            return I(st.b);
        return kNoInk;
    };
    return {shape, {ArcAngle(st.t)}};
}

Drawing Star(const Style& st) {
    float s = st.s;
    int points = 4 + st.variant % 3 + (st.variant % 5 == 4 ? 2 : 0);
    float outer = 12.5f * s, inner = outer * (points > 5 ? 0.5f : 0.38f);
    float step = 2 * kPi / points;
    Shape shape = [=](float u, float v) {
        float r = std::sqrt(u * u + v * v);
        if (r < 1.6f * s + 0.5f)
            return kNoInk; // the hole in the middle
        float a = std::atan2(v, u);
        float k = std::fmod(a + 2 * kPi, step) / step; // 0..1 between two points
        float w = std::fabs(k - 0.5f) * 2;             // 1 at a point, 0 between
        float edge = inner + (outer - inner) * w * w;
        if (r > edge)
            return kNoInk;
        return I(st.a, k < 0.5f ? 3 : 1);
    };
    RenderOptions o;
    o.angle = -st.t * (step / kAttackFrames) + st.variant;
    o.shade = false;
    return {shape, o};
}

// Heat in 0..1 from a head and a tail that flickers from frame to frame.
float FireHeat(const Style& st, float u, float v) {
    float s = st.s, r = 7.5f * s, len = 24 * s;
    float hu = u + 7 * s;
    float heat = 1 - std::sqrt(hu * hu + v * v) / r;
    if (hu > 0 && hu < len) {
        float jitter = 0.7f + 0.6f * Noise((uint32_t)(hu / 3), st.t, st.seed, 1);
        float w = r * jitter * std::pow(1 - hu / len, 0.8f);
        if (w > 0)
            heat = std::max(heat, (1 - std::fabs(v) / w) * (1 - hu / len) * 0.85f);
    }
    float n =
        Noise((uint32_t)std::floor(u / 2 + 50), (uint32_t)std::floor(v / 2 + 50), st.t, st.seed);
    return heat + 0.3f * n - 0.12f;
}

Drawing Fireball(const Style& st) {
    Shape shape = [=](float u, float v) {
        float h = FireHeat(st, u, v);
        if (h <= 0.05f)
            return kNoInk;
        int tone = h > 0.8f ? 4 : h > 0.55f ? 3 : h > 0.32f ? 2 : h > 0.15f ? 1 : 0;
        return I(st.a, tone);
    };
    RenderOptions o;
    o.shade = o.outline = false;
    return {shape, o};
}

Drawing Lightning(const Style& st) {
    float s = st.s;
    constexpr int kPoints = 7;
    float px[kPoints], py[kPoints];
    for (int i = 0; i < kPoints; ++i) {
        px[i] = (-20 + 40.0f * i / (kPoints - 1)) * s;
        py[i] = i == 0 ? 0 : (Noise(st.seed, st.t, i) * 2 - 1) * 7 * s;
    }
    int fork = 2 + (int)(Noise(st.seed, st.t, 99) * 3);
    float fx = px[fork] + 8 * s, fy = py[fork] + (py[fork] > 0 ? -8 : 8) * s;
    Shape shape = [=](float u, float v) {
        float d = SegmentDistance(u, v, px[fork], py[fork], fx, fy) + 0.6f;
        for (int i = 0; i + 1 < kPoints; ++i)
            d = std::min(d, SegmentDistance(u, v, px[i], py[i], px[i + 1], py[i + 1]));
        if (d <= 0.75f)
            return I(st.a, 4);
        if (d <= 1.6f)
            return I(st.a, 3);
        if (d <= 2.7f && Noise((uint32_t)(u + 64), (uint32_t)(v + 64), st.t, st.seed) < 0.55f)
            return I(st.a, 1);
        return kNoInk;
    };
    RenderOptions o;
    o.shade = o.outline = false;
    return {shape, o};
}

Drawing Rock(const Style& st) {
    float s = st.s;
    constexpr int kCorners = 9;
    float poly[2 * kCorners];
    for (int i = 0; i < kCorners; ++i) {
        float a = 2 * kPi * i / kCorners;
        float r = (8 + 4 * Noise(st.seed, i)) * s;
        poly[2 * i] = r * std::cos(a);
        poly[2 * i + 1] = r * std::sin(a);
    }
    Shape shape = [=](float u, float v) {
        if (!InPolygon(u, v, poly, kCorners))
            return kNoInk;
        float n =
            Noise((uint32_t)std::floor(u / 2 + 40), (uint32_t)std::floor(v / 2 + 40), st.seed);
        return I(st.a, n > 0.8f ? 1 : 2);
    };
    return {shape, {SpinAngle(st)}};
}

Drawing Hammer(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        if (u >= -13 * s && u <= -4 * s && std::fabs(v) <= 7 * s) {
            bool band = u > -6 * s || std::fabs(v) > 5.5f * s;
            return I(st.a, band ? 1 : 2);
        }
        if (InCapsule(u, v, -4 * s, 0, 16 * s, 0, 1.5f * s))
            return I(st.b, u > 11 * s ? 1 : 2);
        return kNoInk;
    };
    return {shape, {SpinAngle(st), -1.5f * s}};
}

Drawing Bottle(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        if (InCircle(u, v, -1.5f * s, -3.5f * s, 1.8f * s))
            return I(kWhite, 4); // glint on the glass
        if (InCircle(u, v, 3 * s, 0, 7.5f * s))
            return u > 1 * s ? I(st.b, 2) : I(kGlass, 2);
        if (InCapsule(u, v, -4 * s, 0, -9 * s, 0, 2.3f * s))
            return I(kGlass, 2);
        if (InCapsule(u, v, -10 * s, 0, -12 * s, 0, 2.2f * s))
            return I(kWood, 2);
        return kNoInk;
    };
    return {shape, {SpinAngle(st), -1 * s}};
}

Drawing Knife(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float blade[] = {-13 * s, 1.2f * s, -10 * s, -1.8f * s, 2 * s, -2.6f * s, 2 * s, 1.6f * s};
        if (InPolygon(u, v, blade, 4))
            return I(st.a, v < -1.2f * s ? 4 : 2);
        if (InCapsule(u, v, 3 * s, -0.5f, 11 * s, -0.5f, 1.9f * s)) {
            bool rivet =
                InCircle(u, v, 5.5f * s, -0.5f, 0.8f) || InCircle(u, v, 9 * s, -0.5f, 0.8f);
            return rivet ? I(st.b, 4) : I(st.c, 2);
        }
        return kNoInk;
    };
    return {shape, {SpinAngle(st), 1 * s}};
}

Drawing Boomerang(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float d1 = SegmentDistance(u, v, 0, -5 * s, -13 * s, 5 * s);
        float d2 = SegmentDistance(u, v, 0, -5 * s, 13 * s, 5 * s);
        if (std::min(d1, d2) > 2.8f * s)
            return kNoInk;
        float along = std::fabs(u) + 0.5f * (v + 5 * s);
        bool stripe = std::fmod(along, 5 * s) < 1.6f * s && std::fabs(u) > 2 * s;
        return stripe ? I(st.b, 3) : I(st.a, 2);
    };
    return {shape, {SpinAngle(st), 0, 1 * s}};
}

Drawing Chakram(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float r = std::sqrt(u * u + v * v), a = std::atan2(v, u);
        if (InCircle(u, v, 9.5f * s, 0, 1.6f * s))
            return I(st.b, 3); // the gem
        if (r >= 7.5f * s && r <= 11 * s)
            return I(st.a, r > 10 * s ? 3 : 2);
        float k = std::fmod(a + 2 * kPi, kPi / 4) / (kPi / 4);
        float spike = 11 * s + 3.5f * s * (1 - k);
        if (r > 11 * s && r <= spike)
            return I(st.a, 3);
        return kNoInk;
    };
    return {shape, {SpinAngle(st)}};
}

Drawing Bomb(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        if (InCircle(u, v, -1 * s, -1 * s, 2 * s))
            return I(st.a, 4);
        if (InCircle(u, v, 2 * s, 2 * s, 8.5f * s))
            return I(st.a, 2);
        if (InCapsule(u, v, -3 * s, -3 * s, -5.5f * s, -5.5f * s, 2.3f * s))
            return I(kSteel, 2);
        if (InCapsule(u, v, -5.5f * s, -5.5f * s, -7 * s, -11 * s, 0.8f))
            return I(kWood, 3);
        return kNoInk;
    };
    return {shape, {SpinAngle(st)}};
}

// The fuse's spark, drawn over the bomb with the same turn.
Drawing BombSpark(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float du = u + 7 * s, dv = v + 11.5f * s;
        float r = std::sqrt(du * du + dv * dv);
        float reach = 1.5f + 2.5f * Noise(st.t, st.seed, (uint32_t)(std::atan2(dv, du) * 3 + 10));
        if (r > reach)
            return kNoInk;
        return I(kFire, r < 1.2f ? 4 : 3);
    };
    RenderOptions o;
    o.angle = SpinAngle(st);
    o.shade = o.outline = false;
    return {shape, o};
}

Drawing Orb(const Style& st) {
    float s = st.s;
    float radius = (6.5f + 1.5f * std::sin(st.t * 2 * kPi / kAttackFrames)) * s;
    Shape shape = [=](float u, float v) {
        float r = std::sqrt(u * u + v * v);
        if (r > radius + 1.5f) {
            // sparks trailing behind
            int k = (int)std::floor((u - radius - 2) / 4);
            if (u > radius + 2 && k < 4 && std::fabs(u - radius - 2 - 4 * k - 1) < 1 &&
                std::fabs(v - (Noise(k, st.t, st.seed) * 2 - 1) * 4 * s) < 1)
                return I(st.a, 3);
            return kNoInk;
        }
        if (r > radius)
            return I(st.a, 1);
        float swirl = std::sin(3 * std::atan2(v, u) + r * 0.6f - st.t * 2 * kPi / kAttackFrames);
        int tone = r < radius * 0.35f ? 4 : swirl > 0.3f ? 3 : 2;
        return I(st.a, tone);
    };
    RenderOptions o;
    o.dx = -3 * s;
    o.shade = o.outline = false;
    return {shape, o};
}

Drawing Icicle(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        float shard[] = {-19 * s, 0, 0, -3.8f * s, 13 * s, 0, 0, 3.8f * s};
        if (!InPolygon(u, v, shard, 4))
            return kNoInk;
        float glint = -15 * s + 4 * s * st.t;
        if (std::fabs(u - glint) < 1.2f)
            return I(st.a, 4);
        return I(st.a, v < 0 ? 3 : 1);
    };
    RenderOptions o;
    o.angle = ArcAngle(st.t);
    o.shade = false;
    return {shape, o};
}

Drawing Bone(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        // A thigh bone: the head end is the larger, so no half turn looks like another.
        for (float ev : {-2.4f * s, 2.4f * s})
            if (InCircle(u, v, -10 * s, ev, 2.9f * s) || InCircle(u, v, 10 * s, ev, 2.1f * s))
                return I(st.a, 2);
        if (InCapsule(u, v, -10 * s, 0, 10 * s, 0, 1.9f * s))
            return I(st.a, 2);
        return kNoInk;
    };
    return {shape, {SpinAngle(st)}};
}

Drawing AcidGlob(const Style& st) {
    float s = st.s;
    float wobble = std::sin(st.t * 2 * kPi / kAttackFrames);
    float rx = (7.5f + 1.3f * wobble) * s, ry = (7.5f - 1.3f * wobble) * s;
    Shape shape = [=](float u, float v) {
        if (InEllipse(u, v, -4 * s, 0, rx, ry)) {
            bool bubble = Noise((uint32_t)std::floor(u / 2 + 40), (uint32_t)std::floor(v / 2 + 40),
                                st.seed, st.t) > 0.86f;
            return I(st.a, bubble ? 4 : 2);
        }
        float taper = 1 - (u + 4 * s) / (16 * s);
        if (u > -4 * s && taper > 0 && std::fabs(v) < ry * 0.5f * taper)
            return I(st.a, 2);
        for (int k = 0; k < 3; ++k) {
            float du = 14 * s + 4 * k * s, dv = (Noise(k, st.t, st.seed) * 2 - 1) * 5 * s;
            if (InCircle(u, v, du, dv, 1.3f * s))
                return I(st.a, 3);
        }
        return kNoInk;
    };
    return {shape, {0, -2 * s}};
}

Drawing Sickle(const Style& st) {
    float s = st.s;
    Shape shape = [=](float u, float v) {
        if (InCircle(u, v, -1 * s, -1 * s, 11 * s) &&
            !InCircle(u, v, 2.5f * s, 2.5f * s, 9.5f * s) && v < 5 * s)
            return I(st.a, u < -8 * s || v < -8 * s ? 4 : 2);
        if (InCapsule(u, v, 5 * s, 5 * s, 13 * s, 13 * s, 1.7f * s))
            return I(st.b, 2);
        return kNoInk;
    };
    return {shape, {SpinAngle(st), -2 * s, -2 * s}};
}

Drawing Bolt(const Style& st) {
    float s = st.s;
    // The bolt rolls about its own axis: its vanes take turns facing the viewer.
    float vane = (st.t % 2 ? 2.4f : 4.2f) * s;
    Shape shape = [=](float u, float v) {
        float head[] = {-15 * s,   0,      -11 * s,  -2.8f * s, -9 * s,
                        -2.8f * s, -9 * s, 2.8f * s, -11 * s,   2.8f * s};
        if (InPolygon(u, v, head, 5))
            return I(st.a, v < 0 ? 3 : 2);
        float fl[] = {7 * s, -1, 12 * s, -1, 14 * s, -vane, 10 * s, -vane};
        float fl2[] = {7 * s, 1, 12 * s, 1, 14 * s, vane, 10 * s, vane};
        if (InPolygon(u, v, fl, 4) || InPolygon(u, v, fl2, 4))
            return I(st.c, 2);
        if (InCapsule(u, v, -9 * s, 0, 13 * s, 0, 1.3f))
            return I(st.b, 2);
        return kNoInk;
    };
    return {shape, {ArcAngle(st.t)}};
}

const int kBlades[] = {kSteel, kDarkSteel, kGold, kCopper, kIce, kSteel, kRed, kGreen};
const int kWoods[] = {kWood, kDarkWood, kBone, kWood, kStone};
const int kFeathers[] = {kRed, kWhite, kGreen, kBlue, kGold, kPurple, kOrange, kPink};
const int kFittings[] = {kGold, kCopper, kSteel, kDarkSteel, kBone};
const int kGrips[] = {kDarkWood, kRed, kBlue, kWood, kPurple, kGreen};
const int kFlames[] = {kFire, kOrange, kAcid, kEnergy, kPurple, kPink, kRed, kBlue};
const int kBolts[] = {kEnergy, kGold, kIce, kPurple, kWhite, kPink, kAcid, kBlue};
const int kRocks[] = {kStone, kDarkWood, kDarkSteel, kCopper, kStone, kBone};
const int kLiquids[] = {kRed, kAcid, kPurple, kBlue, kPink, kGold, kGreen, kOrange};
const int kWoodsAndColours[] = {kWood, kRed, kBone, kBlue, kDarkWood, kGreen, kPurple, kGold};
const int kBombs[] = {kDarkSteel, kStone, kRed, kGreen, kDarkSteel};
const int kOrbs[] = {kEnergy, kPurple, kPink, kAcid, kFire, kGold, kIce, kBlue};
const int kShards[] = {kIce, kGlass, kEnergy, kPurple, kGreen, kPink};
const int kGlobs[] = {kAcid, kGreen, kPurple, kPink, kOrange, kEnergy};

Style StyleOf(int row, int t) {
    Style st{};
    st.kind = row % kAttackKinds;
    st.variant = row / kAttackKinds;
    st.s = 0.7f + 0.3f * ((st.variant * 3) % 10) / 9.0f;
    st.seed = Hash((uint32_t)row, 0xA77Au);
    st.t = t;
    int v = st.variant;
    st.a = Pick(kBlades, v);
    st.b = Pick(kWoods, v);
    st.c = Pick(kFeathers, v);
    switch (st.kind) {
    case 1:
    case 10:
        st.b = Pick(kFittings, v);
        st.c = Pick(kGrips, v + st.kind);
        break;
    case 2:
    case 8:
    case 18:
        st.b = Pick(kWoods, v + 1);
        break;
    case 5:
        st.a = Pick(kFlames, v);
        break;
    case 6:
        st.a = Pick(kBolts, v);
        break;
    case 7:
        st.a = Pick(kRocks, v);
        break;
    case 9:
        st.b = Pick(kLiquids, v);
        break;
    case 11:
        st.a = Pick(kWoodsAndColours, v);
        st.b = Pick(kFeathers, v + 3);
        break;
    case 12:
        st.a = Pick(kFittings, v + 2);
        st.b = Pick(kLiquids, v);
        break;
    case 13:
        st.a = Pick(kBombs, v);
        break;
    case 14:
        st.a = Pick(kOrbs, v);
        break;
    case 15:
        st.a = Pick(kShards, v);
        break;
    case 16:
        st.a = v % 3 ? kBone : kWhite;
        break;
    case 17:
        st.a = Pick(kGlobs, v);
        break;
    default:
        break;
    }
    return st;
}

void DrawStyle(Sprite& sprite, const Style& st) {
    using Maker = Drawing (*)(const Style&);
    static const Maker kMakers[kAttackKinds] = {
        Arrow, Dagger,    Axe,     Spear, Star, Fireball, Lightning, Rock,     Hammer, Bottle,
        Knife, Boomerang, Chakram, Bomb,  Orb,  Icicle,   Bone,      AcidGlob, Sickle, Bolt};
    Drawing d = kMakers[st.kind](st);
    Render(sprite, d.shape, d.options);
    if (st.kind == 13) {
        Drawing spark = BombSpark(st);
        Render(sprite, spark.shape, spark.options);
    }
}

} // namespace

void DrawAttackCell(Sprite& sprite, int row, int cell) {
    DrawStyle(sprite, StyleOf(row, kAttackFrames - 1 - cell));
}

} // namespace artgen

#include "effects_art.h"

#include "palette.h"

#include <algorithm>
#include <cmath>

namespace artgen {

namespace {

struct Spark {
    int kind;
    int from, to; // ramps at the start and at the end of the row's life
    float size;   // largest reach in pixels
    uint32_t seed;
    int t;
    float phase() const { return t / (float)(kEffectFrames - 1); } // 0..1
};

const int kBright[] = {kFire,   kEnergy, kPink, kGold,  kIce,    kAcid,
                       kPurple, kWhite,  kBlue, kGreen, kOrange, kRed};
constexpr int kBrightCount = sizeof(kBright) / sizeof(kBright[0]);

Ink I(int ramp, int tone) {
    return Ink{(int8_t)ramp, (int8_t)std::clamp(tone, 0, 4)};
}

// The colour changes half-way through.
int RampAt(const Spark& sp) {
    return sp.t < kEffectFrames / 2 ? sp.from : sp.to;
}

// Brightness falls off over the last frames.
int Fade(const Spark& sp) {
    return sp.t < 10 ? 0 : (sp.t - 9) / 2;
}

// Twinkle: a four-pointed star whose rays flare twice.
Ink Twinkle(const Spark& sp, float u, float v) {
    float flare = std::fabs(std::sin(sp.phase() * 2 * kPi));
    float ray = 1 + (sp.size - 1) * flare;
    float au = std::fabs(u), av = std::fabs(v);
    int tone = 4 - Fade(sp);
    if (au < 0.6f && av < 0.6f)
        return I(RampAt(sp), tone);
    if ((av < 0.6f && au <= ray) || (au < 0.6f && av <= ray))
        return I(RampAt(sp), tone - 1 - (int)(std::max(au, av) * 2 / std::max(ray, 1.0f)));
    if (au < 1.6f && av < 1.6f && flare > 0.5f)
        return I(RampAt(sp), tone - 2);
    return kNoInk;
}

// Burst: a ring that grows outwards and dims.
Ink Burst(const Spark& sp, float u, float v) {
    float r = std::sqrt(u * u + v * v);
    float radius = 0.5f + sp.size * sp.phase();
    if (std::fabs(r - radius) < 0.75f)
        return I(RampAt(sp), 4 - sp.t / 4);
    if (r < 0.8f && sp.t < 6)
        return I(RampAt(sp), 4);
    if (r < radius - 1 && Noise((uint32_t)(u + 8), (uint32_t)(v + 8), sp.t, sp.seed) > 0.85f)
        return I(RampAt(sp), 2);
    return kNoInk;
}

// Diamond: a rhombus that swells and shrinks, a bright eye in its middle.
Ink Diamond(const Spark& sp, float u, float v) {
    float grow = std::sin(sp.phase() * kPi);
    float reach = 1 + sp.size * grow;
    float d = std::fabs(u) + std::fabs(v);
    if (d > reach)
        return kNoInk;
    int core = sp.t % 2 ? 3 : 4; // the eye glints on every other frame
    int tone = d < reach * 0.4f ? core : d < reach * 0.75f ? 3 : 1;
    return I(RampAt(sp), tone - Fade(sp) / 2);
}

// Orbit: three motes circling the centre, each trailing a dimmer one.
Ink Orbit(const Spark& sp, float u, float v) {
    float radius = 1.5f + (sp.size - 1.5f) * sp.phase();
    for (int k = 0; k < 3; ++k)
        for (int trail = 0; trail < 2; ++trail) {
            float a = sp.t * 0.55f + k * 2 * kPi / 3 - trail * 0.45f;
            if (InCircle(u, v, radius * std::cos(a), radius * std::sin(a), 0.8f))
                return I(RampAt(sp), 4 - 2 * trail - Fade(sp) / 2);
        }
    if (InCircle(u, v, 0, 0, 0.7f))
        return I(RampAt(sp), 3 - Fade(sp));
    return kNoInk;
}

// Eight-pointed star turning an eighth of a turn over its life.
Ink Octo(const Spark& sp, float u, float v) {
    float r = std::sqrt(u * u + v * v);
    float a = std::atan2(v, u) - sp.phase() * kPi / 4;
    float k = std::fmod(a + 4 * kPi, kPi / 4) / (kPi / 4);
    float w = std::fabs(k - 0.5f) * 2;
    bool longRay = ((int)std::floor((a + 4 * kPi) / (kPi / 4))) % 2 == 0;
    float pulse = 0.6f + 0.4f * std::fabs(std::cos(sp.phase() * 3 * kPi));
    float reach = (1.2f + (longRay ? sp.size : sp.size * 0.55f) * w * w * w) * pulse;
    if (r > reach + 0.3f)
        return kNoInk;
    return I(RampAt(sp), (r < 1.2f ? 4 : 3) - Fade(sp));
}

// Dust: motes that blink on and off within a growing cloud.
Ink Dust(const Spark& sp, float u, float v) {
    float cloud = 1.5f + (sp.size - 1) * sp.phase();
    int iu = (int)std::floor(u + 8), iv = (int)std::floor(v + 8);
    float n = Noise((uint32_t)iu, (uint32_t)iv, sp.t, sp.seed);
    if (std::abs(iu - 8) + std::abs(iv - 8) == 0)
        return I(RampAt(sp), 4 - Fade(sp));
    if (u * u + v * v <= cloud * cloud && n > 0.82f)
        return I(RampAt(sp), (n > 0.93f ? 4 : 2) - Fade(sp) / 2);
    return kNoInk;
}

// Cross: a plus sign that grows and shrinks again, flipping to a diagonal cross and back.
Ink Cross(const Spark& sp, float u, float v) {
    float grow = std::sin(sp.phase() * kPi);
    float reach = 0.8f + sp.size * grow;
    bool diagonal = sp.t % 2 == 1;
    float a = diagonal ? std::fabs(u - v) * 0.7071f : std::fabs(u);
    float b = diagonal ? std::fabs(u + v) * 0.7071f : std::fabs(v);
    float lim = diagonal ? reach * 0.8f : reach;
    if ((a < 0.6f && b <= lim) || (b < 0.6f && a <= lim))
        return I(RampAt(sp), (std::max(a, b) < 1.2f ? 4 : 3) - Fade(sp) / 2);
    return kNoInk;
}

// Spiral: a curl of dots that winds outwards.
Ink Spiral(const Spark& sp, float u, float v) {
    for (int k = 0; k < 5; ++k) {
        float along = k * 1.2f;
        float a = along * 1.3f + sp.t * 0.7f;
        float radius = 0.4f + along * (sp.size / 6) * (0.5f + sp.phase());
        if (InCircle(u, v, radius * std::cos(a), radius * std::sin(a), 0.75f))
            return I(RampAt(sp), 4 - k / 2 - Fade(sp) / 2);
    }
    return kNoInk;
}

Spark SparkOf(int row, int t) {
    Spark sp{};
    sp.kind = row % kEffectKinds;
    int v = row / kEffectKinds;
    sp.from = kBright[v % kBrightCount];
    sp.to = kBright[(v * 5 + 3 + sp.kind) % kBrightCount];
    sp.size = 4.0f + (v % 5) * 0.6f;
    sp.seed = Hash((uint32_t)row, 0xEFFu);
    sp.t = t;
    return sp;
}

} // namespace

void DrawEffectCell(Sprite& sprite, int row, int cell) {
    using Fn = Ink (*)(const Spark&, float, float);
    static const Fn kKinds[kEffectKinds] = {Twinkle, Burst, Diamond, Orbit,
                                            Octo,    Dust,  Cross,   Spiral};
    const Spark sp = SparkOf(row, cell);
    const Fn fn = kKinds[sp.kind];
    RenderOptions o;
    o.margin = 1;
    o.shade = o.outline = false;
    Render(
        sprite, [&](float u, float v) { return fn(sp, u, v); }, o);
}

} // namespace artgen

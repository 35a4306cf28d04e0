#include "gif_lzw.h"

#include <algorithm>

namespace sheetgif {

namespace {

constexpr uint32_t kGenerationShift = 16;
constexpr uint32_t kLastGeneration = 0xFFFF;

} // namespace

LzwCounter::LzwCounter(int tableBits)
    : m_minBits(std::max(tableBits, 2)), m_clearCode(1u << m_minBits),
      m_tableSize((size_t)1 << tableBits), m_children((size_t)(kMaxCode + 1) * m_tableSize, 0) {}

void LzwCounter::Start() {
    if (m_generation == kLastGeneration) {
        std::fill(m_children.begin(), m_children.end(), 0);
        m_generation = 0;
    }
    ++m_generation;
    m_runningCode = m_clearCode + 2;
    m_runningBits = m_minBits + 1;
    m_maxCode1 = 1u << m_runningBits;
}

// One code out, at today's width; the width grows once the next code would not fit.
void LzwCounter::Emit() {
    m_bits += (uint64_t)m_runningBits;
    if (m_runningCode >= m_maxCode1 && m_runningBits < 12)
        m_maxCode1 = 1u << ++m_runningBits;
}

uint32_t LzwCounter::Child(uint32_t code, uint8_t index) const {
    const uint32_t entry = m_children[(size_t)code * m_tableSize + index];
    return (entry >> kGenerationShift) == m_generation ? (entry & 0xFFFF) : kNone;
}

void LzwCounter::Break(uint8_t index) {
    const uint32_t current = m_current;
    Emit();
    m_current = index;
    if (m_runningCode >= (uint32_t)kMaxCode) {
        Emit(); // the clear code
        Start();
        return;
    }
    m_children[(size_t)current * m_tableSize + index] =
        (m_generation << kGenerationShift) | m_runningCode;
    ++m_runningCode;
}

uint64_t LzwCounter::Bits(const std::vector<uint8_t>& indices) {
    m_bits = 0;
    Start();
    Emit(); // the clear code that opens every image
    if (indices.empty())
        return m_bits;
    m_current = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const uint32_t next = Child(m_current, indices[i]);
        if (next != kNone)
            m_current = next;
        else
            Break(indices[i]);
    }
    Emit(); // the last string
    Emit(); // the end code
    return m_bits;
}

uint64_t LzwCounter::ChooseTransparent(const std::vector<uint8_t>& indices,
                                       const std::vector<uint8_t>& either, uint8_t transparent,
                                       std::vector<uint8_t>& chosen) {
    chosen.resize(indices.size());
    m_bits = 0;
    Start();
    Emit();
    if (indices.empty())
        return m_bits;
    chosen[0] = either[0] ? transparent : indices[0];
    m_current = chosen[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const uint8_t own = indices[i];
        const uint32_t byOwn = Child(m_current, own);
        if (!either[i] || own == transparent) {
            chosen[i] = own;
        } else {
            // Of two strings that both go on, the later one is the longer: it has more
            // ahead of it. A pixel that breaks the string starts a transparent run.
            const uint32_t byTransparent = Child(m_current, transparent);
            if (byOwn != kNone && (byTransparent == kNone || byOwn > byTransparent))
                chosen[i] = own;
            else
                chosen[i] = transparent;
        }
        const uint32_t next = Child(m_current, chosen[i]);
        if (next != kNone)
            m_current = next;
        else
            Break(chosen[i]);
    }
    Emit();
    Emit();
    return m_bits;
}

} // namespace sheetgif

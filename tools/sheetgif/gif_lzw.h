// The length of a frame's compressed image data as giflib's encoder writes it, so that the
// encoder can try the ways a frame may be written and keep the shortest before giflib writes
// it. The dictionary follows giflib's own steps: one clear code first, codes a bit longer
// when the next one would not fit, and a clear code when the 4096 codes are used up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sheetgif {

class LzwCounter {
public:
    // tableBits: the colour table's size as a power of two (1..8); every index given is
    // below that size.
    explicit LzwCounter(int tableBits);

    // The bits of the image data for these indices, end code included.
    uint64_t Bits(const std::vector<uint8_t>& indices);

    // Chooses, for every pixel whose either[] is set, between its own index and
    // `transparent` (which composes the same picture) so that the codes run as long as
    // they can; writes the chosen indices and returns their bits.
    uint64_t ChooseTransparent(const std::vector<uint8_t>& indices,
                               const std::vector<uint8_t>& either, uint8_t transparent,
                               std::vector<uint8_t>& chosen);

private:
    static constexpr int kMaxCode = 4095;
    static constexpr uint32_t kNone = 0xFFFF;

    void Start();
    void Emit();
    // The code for the string `code` followed by `index`, or kNone.
    uint32_t Child(uint32_t code, uint8_t index) const;
    // Writes the current string's code and begins a new one at `index`.
    void Break(uint8_t index);

    int m_minBits;
    uint32_t m_clearCode;
    size_t m_tableSize;
    // Entry (code x table size + index): generation in the high bits, code in the low 16. A new
    // generation empties the dictionary without touching its memory.
    std::vector<uint32_t> m_children;
    uint32_t m_generation = 0;
    uint32_t m_runningCode = 0;
    uint32_t m_maxCode1 = 0;
    int m_runningBits = 0;
    uint32_t m_current = 0;
    uint64_t m_bits = 0;
};

} // namespace sheetgif

// The standard CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320) used by the duplicate
// finder to compare file contents. The register is kept without the final inversion, so two
// files can be run block by block and their registers compared after each block.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kCrc32Start = 0xFFFFFFFFu;

// The 256-entry table of the byte-at-a-time form: table[b] is the register change for byte b.
const uint32_t* Crc32Table();

// Runs `n` bytes through `reg` and answers the new register. Eight bytes a step (slicing-by-8);
// the result equals the byte-at-a-time form reg = (reg >> 8) ^ table[(reg ^ b) & 0xFF].
uint32_t Crc32Update(uint32_t reg, const void* data, size_t n);

// The finished CRC-32 of a buffer (start 0xFFFFFFFF, final inversion): "123456789" gives
// 0xCBF43926.
inline uint32_t Crc32(const void* data, size_t n) { return Crc32Update(kCrc32Start, data, n) ^ 0xFFFFFFFFu; }

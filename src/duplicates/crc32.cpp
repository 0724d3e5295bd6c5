#include "duplicates/crc32.h"

#include <cstring>

namespace {

// tables[0] is the classic table; tables[k][b] is the register change of byte b followed by k
// zero bytes, which lets eight bytes be folded in with eight independent lookups.
struct Crc32Tables {
    uint32_t t[8][256];
    Crc32Tables() {
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t r = b;
            for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ (0xEDB88320u & (0u - (r & 1u)));
            t[0][b] = r;
        }
        for (uint32_t b = 0; b < 256; ++b)
            for (int k = 1; k < 8; ++k) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    }
};

const Crc32Tables& Tables() {
    static const Crc32Tables tables;
    return tables;
}

}  // namespace

const uint32_t* Crc32Table() { return Tables().t[0]; }

uint32_t Crc32Update(uint32_t reg, const void* data, size_t n) {
    const Crc32Tables& tb = Tables();
    const unsigned char* p = static_cast<const unsigned char*>(data);
    // Byte by byte up to an 8-byte boundary, then eight at a time (little-endian loads), then
    // the tail.
    while (n > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0) {
        reg = (reg >> 8) ^ tb.t[0][(reg ^ *p++) & 0xFF];
        --n;
    }
    while (n >= 8) {
        uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        lo ^= reg;
        reg = tb.t[7][lo & 0xFF] ^ tb.t[6][(lo >> 8) & 0xFF] ^ tb.t[5][(lo >> 16) & 0xFF] ^ tb.t[4][lo >> 24] ^
              tb.t[3][hi & 0xFF] ^ tb.t[2][(hi >> 8) & 0xFF] ^ tb.t[1][(hi >> 16) & 0xFF] ^ tb.t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n-- > 0) reg = (reg >> 8) ^ tb.t[0][(reg ^ *p++) & 0xFF];
    return reg;
}

#include "common/Md5.h"

#include <cstring>

namespace talvex {

namespace {

// RFC 1321 section 3.4: per-round shift amounts and the sine-derived constants.
constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr size_t kBlockSize = 64;

uint32_t RotateLeft(uint32_t value, uint32_t bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t LoadLittleEndian(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void ProcessBlock(uint32_t state[4], const uint8_t* block) {
    uint32_t words[16];
    for (int i = 0; i < 16; ++i)
        words[i] = LoadLittleEndian(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t mixed;
        uint32_t word;
        switch (i / 16) {
        case 0: mixed = (b & c) | (~b & d); word = i; break;
        case 1: mixed = (d & b) | (~d & c); word = (5 * i + 1) % 16; break;
        case 2: mixed = b ^ c ^ d; word = (3 * i + 5) % 16; break;
        default: mixed = c ^ (b | ~d); word = (7 * i) % 16; break;
        }
        const uint32_t rotated = RotateLeft(a + mixed + kSines[i] + words[word], kShifts[i]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

std::array<uint8_t, 16> Md5(std::string_view data) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    size_t offset = 0;
    for (; offset + kBlockSize <= data.size(); offset += kBlockSize)
        ProcessBlock(state, bytes + offset);

    // Padding: 0x80, zeros up to 56 mod 64, then the bit length little-endian.
    uint8_t tail[2 * kBlockSize] = {};
    const size_t rest = data.size() - offset;
    if (rest)
        std::memcpy(tail, bytes + offset, rest);
    tail[rest] = 0x80;
    const size_t tailSize = rest < 56 ? kBlockSize : 2 * kBlockSize;
    const uint64_t bitLength = uint64_t(data.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 8 + i] = uint8_t(bitLength >> (8 * i));
    for (size_t block = 0; block < tailSize; block += kBlockSize)
        ProcessBlock(state, tail + block);

    std::array<uint8_t, 16> digest{};
    for (int i = 0; i < 16; ++i)
        digest[i] = uint8_t(state[i / 4] >> (8 * (i % 4)));
    return digest;
}

std::string Md5Hex(std::string_view data) {
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(32);
    for (uint8_t byte : Md5(data)) {
        hex.push_back(kHexDigits[byte >> 4]);
        hex.push_back(kHexDigits[byte & 0x0F]);
    }
    return hex;
}

} // namespace talvex

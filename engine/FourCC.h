// Four-character codes name parameters and jacks: the first character sits in the
// most significant byte, so codes compare and print in reading order.
#pragma once

#include <cstdint>
#include <string>

namespace moraine {

using FourCC = std::uint32_t;

constexpr FourCC fourcc(const char (&s)[5]) {
    return (FourCC(std::uint8_t(s[0])) << 24) | (FourCC(std::uint8_t(s[1])) << 16) |
           (FourCC(std::uint8_t(s[2])) << 8) | FourCC(std::uint8_t(s[3]));
}

// Reads the first four characters of a text; shorter texts pad with NUL.
inline FourCC fourccFromText(const char* s) {
    FourCC c = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t ch = s && *s ? std::uint8_t(*s++) : 0;
        c = (c << 8) | ch;
    }
    return c;
}

inline std::string fourccText(FourCC c) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = char((c >> (24 - 8 * i)) & 0xFF);
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

} // namespace moraine

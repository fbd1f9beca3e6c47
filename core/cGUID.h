// New GUIDs as text: 8-4-4-16 upper-case hexadecimal digits, the last eight bytes in
// storage order (e.g. 6B29FC40-CA47-1067-B31D00DD010662DA).
#pragma once

#include <array>
#include <cstdint>
#include <string>

class cGUID {
public:
    // A new GUID text; "" when none can be made.
    std::string GetGUID() const;
    static std::string FormatGUID(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                                  const std::array<std::uint8_t, 8>& data4);
};

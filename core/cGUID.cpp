#include "core/cGUID.h"

#include <QUuid>

#include <cstdio>

std::string cGUID::FormatGUID(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                              const std::array<std::uint8_t, 8>& data4) {
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-", static_cast<unsigned>(data1),
                          static_cast<unsigned>(data2), static_cast<unsigned>(data3));
    for (std::uint8_t b : data4) n += std::snprintf(buf + n, sizeof buf - n, "%02X", static_cast<unsigned>(b));
    return std::string(buf, static_cast<size_t>(n));
}

std::string cGUID::GetGUID() const {
    QUuid u = QUuid::createUuid();
    if (u.isNull()) return "";
    std::array<std::uint8_t, 8> d4{};
    for (int i = 0; i < 8; ++i) d4[i] = u.data4[i];
    return FormatGUID(u.data1, u.data2, u.data3, d4);
}

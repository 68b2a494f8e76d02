// The CRC-16 that LHA uses for member data and headers (reflected polynomial 0xA001).
#pragma once

#include <cstddef>
#include <cstdint>

uint16_t UpdateCrc16(uint16_t crc, const void* data, size_t size);

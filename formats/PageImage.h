// A decoded page as the readers give it and the whitening takes it: 8-bit
// samples, top row first, and the resolution the file states.
#pragma once

#include <cstdint>
#include <vector>

struct PageImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int channels = 1;                   // 1 gray, 3 colour, 4 colour and an ignored byte
    std::vector<std::uint8_t> samples;  // width * channels bytes a row, rows top first, no padding
    double dpiX = 0.0;                  // pixels per inch as the file states them; 0 when it does not
    double dpiY = 0.0;
};

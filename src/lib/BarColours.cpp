#include "lib/BarColours.h"

namespace nrvs {

uint32_t BarColour(int image, int htmlForm) {
    uint32_t rgb;
    switch (image) {
    case 7:
        rgb = 0xFFCC00;
        break;
    case 9:
        rgb = 0x9999FF;
        break;
    case 10:
        rgb = 0x000050;
        break;
    case 20:
        rgb = 0x4D5DBD;
        break;
    case 44:
        rgb = 0xFF8000;
        break;
    default:
        rgb = 0x000000;
        break;
    }
    if (htmlForm) return rgb;
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

} // namespace nrvs

// The colours of the list rows' bars.
#pragma once

#include <cstdint>

namespace nrvs {

// Colour of a list row's bar by its image number; htmlForm 0 gives the drawing
// form (blue in the high byte), 1 the RGB number used in HTML.
uint32_t BarColour(int image, int htmlForm);

} // namespace nrvs

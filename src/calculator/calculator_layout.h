// The calculator's window as it has always been laid out: its parts in twips, the letters and
// the check box's own box in layout pixels, turned into the window's pixels at the clock's scale
// with the same conversion as the clock's windows. No layout manager puts the parts on these
// very pixels: the prompt and the date box share a row of pixels, and the rows of the two
// halves do not line up. Drawing them is the platform's.
#pragma once

#include "core/twips.h"
#include "platform/calculator_view.h"

namespace reloj {

CalculatorLayout LayOutCalculator(const PixelScale& pixels);

} // namespace reloj

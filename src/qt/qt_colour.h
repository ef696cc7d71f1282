// The clock's colours (0x00BBGGRR) as Qt takes them, as the screen shows them.
#pragma once

#include "core/colour.h"

#include <QColor>

namespace reloj {

inline QColor ToQColor(Colour colour) {
    const Colour shown = ShownColour(colour);
    return QColor(RedOf(shown), GreenOf(shown), BlueOf(shown));
}

} // namespace reloj

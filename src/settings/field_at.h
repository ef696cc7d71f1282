// FieldAt cuts one field out of a separated text: the command line's "|"-separated settings.
// It never fails: a field the text does not contain comes back as the empty string, as does
// any field of an empty separator. Interpreting the field is the caller's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace reloj {

// Field number `index`, counted from 1; index 0 or below gives the empty string.
std::string FieldAt(std::string_view text, std::string_view separator, int32_t index);

} // namespace reloj

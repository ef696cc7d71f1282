// GetField cuts one field, or a run of fields, out of a separated text: the command line's
// "|"-separated settings. It never fails: a field the text does not contain, or a request
// that makes no sense, comes back as the empty string. Interpreting the field is the caller's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace reloj {

// Last = -1 asks for the single field number Index (1-based) and is set to Index. Any other
// Last asks for the text between separator number Index and separator number Last.
std::string GetField(std::string_view Text, std::string_view Separator, int32_t Index,
                     int32_t& Last);

} // namespace reloj

#include "settings/field_at.h"

namespace reloj {

std::string FieldAt(std::string_view text, std::string_view separator, int32_t index) {
    // An empty separator would be found at every position without ever advancing.
    if (separator.empty() || index < 1) {
        return {};
    }
    std::size_t begin = 0;
    for (int32_t n = 1; n < index; ++n) {
        const std::size_t found = text.find(separator, begin);
        if (found == std::string_view::npos) {
            return {};
        }
        begin = found + separator.size();
    }
    const std::size_t end = text.find(separator, begin);
    return std::string(
        text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

} // namespace reloj

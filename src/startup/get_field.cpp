#include "startup/get_field.h"

namespace reloj {

std::string GetField(std::string_view Text, std::string_view Separator, int32_t Index,
                     int32_t& Last) {
    // An empty separator would be found at every position without ever advancing.
    if (Separator.empty()) {
        return {};
    }
    const int64_t endDefault = static_cast<int64_t>(Text.size()) + 1;
    const int64_t sepLen = static_cast<int64_t>(Separator.size());

    int64_t first = 0;
    int64_t stop = 0;
    if (Last == -1) {
        first = static_cast<int64_t>(Index) - 1;
        stop = Index;
        Last = Index;
    } else {
        first = Index;
        stop = Last;
    }

    // Positions are 1-based, as the field rules are stated.
    int64_t count = 0;
    int64_t startPos = 0;
    int64_t endPos = 0;
    std::size_t from = 0;
    while (from <= Text.size()) {
        const std::size_t found = Text.find(Separator, from);
        if (found == std::string_view::npos) {
            break;
        }
        const int64_t p = static_cast<int64_t>(found) + 1;
        ++count;
        if (count == first) {
            startPos = p;
        }
        if (count == stop) {
            endPos = p;
            break;
        }
        from = found + Separator.size();
    }
    if (endPos == 0) {
        endPos = endDefault;
    }

    if (first == 0) {
        return std::string(Text.substr(0, static_cast<std::size_t>(endPos - 1)));
    }
    if (startPos == 0) {
        return {};
    }
    const int64_t begin = startPos + sepLen; // 1-based
    const int64_t length = endPos - startPos - sepLen;
    if (length < 0) {
        // A negative length is an invalid substring request: the field is empty.
        return {};
    }
    if (begin - 1 >= static_cast<int64_t>(Text.size())) {
        return {};
    }
    return std::string(
        Text.substr(static_cast<std::size_t>(begin - 1), static_cast<std::size_t>(length)));
}

} // namespace reloj

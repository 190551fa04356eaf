#include "logfield.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace zel {

bool readLogField(const char *begin, const char *end, int column, float *value)
{
    const auto [stop, status] = std::from_chars(begin, end, *value);
    if (status != std::errc() || stop != end)
        return false;
    if (column > 0 && *value == 0 && *begin == '-')
        *value = -std::numeric_limits<float>::denorm_min();
    return true;
}

std::array<float, 4> angleAxisFromQuaternion(float w, float x, float y, float z)
{
    const double norm = std::hypot(double(x), double(y), double(z));
    const auto angle = float(2 * std::acos(std::clamp(double(w), -1.0, 1.0)));
    if (norm > 0)
        return { angle, float(x / norm), float(y / norm), float(z / norm) };
    // No rotation; four zeros would read as nothing received yet.
    return { angle, 0, 0, 1 };
}

} // namespace zel

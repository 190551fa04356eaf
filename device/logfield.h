#pragma once

// What a data log row's text stands for: each field read back as the float
// the tool wrote, and the module's attitude as it reports it beside the
// quaternion. Shared by everything that reads data logs back.

#include <array>

namespace zel {

// Reads the text begin..end of data log column `column` (0 is the
// timestamp) as the float the tool wrote there; false unless the whole text
// is a number. The text is read straight to the nearest float: by way of a
// double it is rounded twice, and the shortest text of a float does not
// always survive that ("7.038531e-26" lands one float off). The nearest
// float rounds back to the same text but for one case: a negative sensor
// value that rounds to zero is written "-0.000000" while -0.0 itself is
// written "0.000000", so that text reads as the smallest negative float.
bool readLogField(const char *begin, const char *end, int column, float *value);

// The rotation of the quaternion (w, x, y, z) as an angle in radians and a
// unit axis, as the module reports it beside the quaternion.
std::array<float, 4> angleAxisFromQuaternion(float w, float x, float y, float z);

} // namespace zel

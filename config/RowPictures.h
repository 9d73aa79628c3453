#pragma once

#include <optional>

namespace miv {

// The picture of column 0 for a grid row: the relay's menu-item image.
// Rows 0-22 take the image of their own number, row 24 image 23, row 27
// image 24, row 30 image 25, row 32 image 26; the other rows have none.
inline std::optional<int> rowPictureIndex(int row)
{
    if (row >= 0 && row <= 22)
        return row;
    switch (row) {
    case 24:
        return 23;
    case 27:
        return 24;
    case 30:
        return 25;
    case 32:
        return 26;
    default:
        return std::nullopt;
    }
}

} // namespace miv

#pragma once

#include <array>
#include <initializer_list>
#include <span>

namespace miv {

// A switch row and the numeric rows that only make sense while it is on.
struct DependentRowRule
{
    int switchRow;
    std::array<int, 2> rows;
    int rowCount;

    std::span<const int> dependentRows() const
    {
        return std::span<const int>(rows.data(), size_t(rowCount));
    }
};

// In the order the bulk pass walks them. Rows 26, 30 and 31 control no other row.
inline constexpr std::array<DependentRowRule, 6> dependentRowRules = {{
        {23, {3, 18}, 2},
        {24, {4, 17}, 2},
        {25, {7, 0}, 1},
        {27, {6, 0}, 1},
        {28, {21, 22}, 2},
        {29, {2, 0}, 1},
}};

// The rule of a switch row; nullptr when the row controls nothing.
inline const DependentRowRule *dependentRowRuleOf(int switchRow)
{
    for (const DependentRowRule &rule : dependentRowRules)
        if (rule.switchRow == switchRow)
            return &rule;
    return nullptr;
}

} // namespace miv

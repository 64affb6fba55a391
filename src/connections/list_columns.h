#pragma once

// The connection list's columns as the user sees them.

#include "connections/connection_row.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace vq::connections {

// The caption column first, then one column per sub-item in sub-item order:
// the columns every list shows.
inline constexpr std::size_t kListColumnCount = 1 + kSubItemCount;
inline constexpr std::array<std::wstring_view, kListColumnCount> kListColumnCaptions = {
    L"Process",        L"Protocol",    L"State",      L"Local Address", L"Local Port",
    L"Remote Address", L"Remote Port", L"Process Id", L"Process Path",
};

// The optional columns, by their column numbers after the built-in ones.
inline constexpr std::size_t kServiceColumn = kListColumnCount;
inline constexpr std::size_t kCreatedColumn = kListColumnCount + 1;
inline constexpr std::size_t kAnyColumnCount = kListColumnCount + 2;

// The caption of any column by its number; empty past the last.
constexpr std::wstring_view ColumnCaption(std::size_t column)
{
    if (column < kListColumnCount) {
        return kListColumnCaptions[column];
    }
    return column == kServiceColumn ? L"Service" : column == kCreatedColumn ? L"Created" : L"";
}

// Which optional columns the list shows: each is appended after the built-in
// ones, Service before Created.
struct OptionalColumns {
    bool service = false;
    bool created = false;

    friend bool operator==(const OptionalColumns&, const OptionalColumns&) = default;
};

// The columns shown, in the order the list shows them: the view's column
// numbers mapped to column numbers.
class ShownColumns {
public:
    constexpr ShownColumns() = default;
    constexpr explicit ShownColumns(OptionalColumns optional) : optional_(optional) {}

    constexpr OptionalColumns Optional() const { return optional_; }
    constexpr std::size_t size() const
    {
        return kListColumnCount + (optional_.service ? 1 : 0) + (optional_.created ? 1 : 0);
    }
    // The column number of the shown column at viewColumn; one past every
    // column (kAnyColumnCount) past the last shown one.
    constexpr std::size_t operator[](std::size_t viewColumn) const
    {
        if (viewColumn < kListColumnCount) {
            return viewColumn;
        }
        if (viewColumn == kListColumnCount) {
            return optional_.service ? kServiceColumn : optional_.created ? kCreatedColumn : kAnyColumnCount;
        }
        return viewColumn == kListColumnCount + 1 && optional_.service && optional_.created ? kCreatedColumn
                                                                                            : kAnyColumnCount;
    }

private:
    OptionalColumns optional_;
};

} // namespace vq::connections

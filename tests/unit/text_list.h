#pragma once

// A plain list of texts for the writers that read a util::ReportList: any
// number of columns, and a row that fails when it is read.

#include "util/html_report.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vq::fake {

class TextList : public util::ReportList {
public:
    std::vector<std::wstring> columns;
    std::vector<std::vector<std::wstring>> rows;  // caption first
    std::size_t throwAtRow = SIZE_MAX;

    std::size_t ColumnCount() const override { return columns.size(); }
    std::wstring_view ColumnCaption(std::size_t column) const override { return columns.at(column); }
    std::size_t RowCount() const override { return rows.size(); }
    std::wstring_view RowCaption(std::size_t row) const override { return rows.at(row).at(0); }
    std::wstring_view SubItem(std::size_t row, std::size_t subItem) const override
    {
        if (row == throwAtRow) {
            throw std::runtime_error("row went away");
        }
        return rows.at(row).at(subItem + 1);
    }
};

} // namespace vq::fake

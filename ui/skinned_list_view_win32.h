// The skinned list view: a system list-view control in report view with single
// selection and a border (style 0x50800005), control identifier 1010, grid
// lines and full-row select, plus check boxes for the result and ignored lists
// (extended style 0x25; the schedule list has 0x21). Its columns come from the
// skin line, left-aligned, and so does its name for a screen reader (the
// line's wording, see CreateNameLabel). Used on the window's thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "ui/skin_file.h"

namespace qm {

constexpr DWORD kSkinListViewStyle = 0x50800005;  // child, visible, border, report, single selection
constexpr UINT kSkinListViewId = 1010;
constexpr DWORD kListWithCheckBoxes = 0x25;       // grid lines, check boxes, full-row select
constexpr DWORD kListWithoutCheckBoxes = 0x21;    // grid lines, full-row select
constexpr DWORD kReportListStyle = 0x50800001;    // child, visible, border, report
constexpr DWORD kListFullRowSelect = 0x20;        // full-row select only

class CSkinnedListView {
public:
    CSkinnedListView() = default;
    ~CSkinnedListView();
    CSkinnedListView(const CSkinnedListView&) = delete;
    CSkinnedListView& operator=(const CSkinnedListView&) = delete;

    // `id` and `style`: the main window's lists take the defaults; the result
    // window's list is a plain report view (child, visible, border) with id 0.
    bool Create(HWND parent, const SkinListLine& line, DWORD extendedStyle, UINT id = kSkinListViewId,
                DWORD style = kSkinListViewStyle);
    void Destroy();
    HWND Window() const { return window_; }

    int ColumnCount() const;
    // Appends a column (left-aligned); false when it could not be added.
    bool AddColumn(const std::string& title, int width);
    // Sets a column's width to fit the widest of `texts` and of its title.
    void FitColumn(int column, const std::vector<const std::string*>& texts);
    // Inserts a row at `row` (at the end when past it) with `columns` as the
    // texts of columns 0, 1, ...; returns its index, or -1. `data` stays
    // with the row through sorts (RowData).
    int InsertRow(int row, const std::vector<std::string>& columns, bool checked = false, LPARAM data = 0);
    LPARAM RowData(int row) const;
    // Sorts the rows by a column: column 0 ticked rows first, any other as
    // `order` ranks two rows by their data (<0, 0, >0); the same column
    // again reverses the order. The column's header shows the direction.
    // Rows keep their check state and data.
    using RowOrder = std::function<int(LPARAM a, LPARAM b, int column)>;
    void SortByColumn(int column, const RowOrder& order);
    // Selects and focuses a row and scrolls it into view.
    void SelectRow(int row);
    void DeleteAllRows();
    int RowCount() const;
    std::string Text(int row, int column) const;
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    // The selection mark (-1 without one).
    int SelectionMark() const;

private:
    static int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM self);
    void ShowSortArrow();

    HWND window_ = nullptr;
    HWND nameLabel_ = nullptr;  // its name for a screen reader (CreateNameLabel)
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    // While a sort runs: its order, and for column 0 the ticked rows' data.
    const RowOrder* order_ = nullptr;
    std::unordered_set<LPARAM> ticked_;
};

}  // namespace qm

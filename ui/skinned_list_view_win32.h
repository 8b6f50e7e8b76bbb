// The skinned list view: a system list-view control in report view with single
// selection and a border (style 0x50800005), control identifier 1010, grid
// lines and full-row select, plus check boxes for the result and ignored lists
// (extended style 0x25; the schedule list has 0x21). Its columns come from the
// skin line, left-aligned. Used on the window's thread only.
#pragma once

#include <windows.h>

#include <string>
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
    // Inserts a row at `row` (at the end when past it) with `columns` as the
    // texts of columns 0, 1, ...; returns its index, or -1.
    int InsertRow(int row, const std::vector<std::string>& columns, bool checked = false);
    void DeleteAllRows();
    int RowCount() const;
    std::string Text(int row, int column) const;
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    // The selection mark (-1 without one).
    int SelectionMark() const;

private:
    HWND window_ = nullptr;
};

}  // namespace qm

#include "ui/skinned_list_view_win32.h"

#include <commctrl.h>

namespace qm {

CSkinnedListView::~CSkinnedListView() { Destroy(); }

bool CSkinnedListView::Create(HWND parent, const SkinListLine& line, DWORD extendedStyle, UINT id, DWORD style) {
    if (window_ != nullptr) return false;
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    window_ = CreateWindowExA(0, WC_LISTVIEWA, "", style, line.rect.left, line.rect.top,
                              line.rect.Width(), line.rect.Height(), parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (window_ == nullptr) return false;
    SendMessageA(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, extendedStyle, extendedStyle);
    for (std::size_t i = 0; i < line.columns.size(); ++i) {
        std::string title = line.columns[i].title;
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = line.columns[i].width;
        column.pszText = &title[0];
        column.iSubItem = static_cast<int>(i);
        SendMessageA(window_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    return true;
}

void CSkinnedListView::Destroy() {
    if (window_ == nullptr) return;
    DestroyWindow(window_);
    window_ = nullptr;
}

int CSkinnedListView::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessageA(window_, LVM_GETHEADER, 0, 0));
    return header == nullptr ? 0 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

int CSkinnedListView::InsertRow(int row, const std::vector<std::string>& columns, bool checked) {
    std::string first = columns.empty() ? std::string() : columns[0];
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = &first[0];
    const int index = static_cast<int>(SendMessageA(window_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return -1;
    for (std::size_t i = 1; i < columns.size(); ++i) {
        std::string text = columns[i];
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(i);
        sub.pszText = &text[0];
        SendMessageA(window_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
    }
    if (checked) SetChecked(index, true);
    return index;
}

void CSkinnedListView::DeleteAllRows() { SendMessageA(window_, LVM_DELETEALLITEMS, 0, 0); }

int CSkinnedListView::RowCount() const { return static_cast<int>(SendMessageA(window_, LVM_GETITEMCOUNT, 0, 0)); }

std::string CSkinnedListView::Text(int row, int column) const {
    char buffer[1024] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    const LRESULT n = SendMessageA(window_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool CSkinnedListView::Checked(int row) const {
    const LRESULT state = SendMessageA(window_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void CSkinnedListView::SetChecked(int row, bool checked) {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(window_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int CSkinnedListView::SelectionMark() const {
    return static_cast<int>(SendMessageA(window_, LVM_GETSELECTIONMARK, 0, 0));
}

}  // namespace qm

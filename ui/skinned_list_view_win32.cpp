#include "ui/skinned_list_view_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/window_base_win32.h"
#include "ui/window_text_win32.h"

namespace qm {

CSkinnedListView::~CSkinnedListView() { Destroy(); }

bool CSkinnedListView::Create(HWND parent, const SkinListLine& line, DWORD extendedStyle, UINT id, DWORD style) {
    if (window_ != nullptr) return false;
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    // Its name for a screen reader: a label just before it, and its window
    // text (which a list does not show), for readers that take either.
    nameLabel_ = CreateNameLabel(parent, line.wording, line.rect.left, line.rect.top);
    window_ = CreateWindowExA(0, WC_LISTVIEWA, line.wording.c_str(), style, line.rect.left, line.rect.top,
                              line.rect.Width(), line.rect.Height(), parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (window_ == nullptr) {
        if (nameLabel_ != nullptr) DestroyWindow(nameLabel_);
        nameLabel_ = nullptr;
        return false;
    }
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
    if (nameLabel_ != nullptr) DestroyWindow(nameLabel_);
    nameLabel_ = nullptr;
}

int CSkinnedListView::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessageA(window_, LVM_GETHEADER, 0, 0));
    return header == nullptr ? 0 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

bool CSkinnedListView::AddColumn(const std::string& title, int width) {
    const int index = ColumnCount();
    std::string text = title;
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = &text[0];
    column.iSubItem = index;
    return SendMessageA(window_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) >= 0;
}

void CSkinnedListView::FitColumn(int column, const std::vector<const std::string*>& texts) {
    char title[256] = "";
    LVCOLUMNA header{};
    header.mask = LVCF_TEXT;
    header.pszText = title;
    header.cchTextMax = sizeof title;
    SendMessageA(window_, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
    // Only the longest texts are measured: a list may hold many thousands.
    std::vector<const std::string*> longest;
    for (const std::string* text : texts) {
        if (text == nullptr) continue;
        if (longest.size() < 8) {
            longest.push_back(text);
            continue;
        }
        auto shortest = longest.begin();
        for (auto it = longest.begin(); it != longest.end(); ++it)
            if ((*it)->size() < (*shortest)->size()) shortest = it;
        if (text->size() > (*shortest)->size()) *shortest = text;
    }
    int width = static_cast<int>(SendMessageA(window_, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(title)));
    for (const std::string* text : longest)
        width = std::max(width, static_cast<int>(SendMessageA(window_, LVM_GETSTRINGWIDTHA, 0,
                                                               reinterpret_cast<LPARAM>(text->c_str()))));
    SendMessageA(window_, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width + 16, 0));
}

int CSkinnedListView::InsertRow(int row, const std::vector<std::string>& columns, bool checked, LPARAM data) {
    std::string first = columns.empty() ? std::string() : columns[0];
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
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

void CSkinnedListView::DeleteAllRows() {
    SendMessageA(window_, LVM_DELETEALLITEMS, 0, 0);
    if (sortColumn_ < 0) return;
    sortColumn_ = -1;  // new rows come in their own order
    ShowSortArrow();
}

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

LPARAM CSkinnedListView::RowData(int row) const {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(window_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return item.lParam;
}

int CALLBACK CSkinnedListView::CompareRows(LPARAM a, LPARAM b, LPARAM selfParam) {
    const auto* self = reinterpret_cast<const CSkinnedListView*>(selfParam);
    // A row order that fails leaves the two rows as they compare equal.
    return CWindowBase::GuardedCallback(0, [&] {
        int order;
        if (self->sortColumn_ == 0)
            order = static_cast<int>(self->ticked_.count(b)) - static_cast<int>(self->ticked_.count(a));
        else
            order = (*self->order_)(a, b, self->sortColumn_);
        return self->sortDescending_ ? -order : order;
    });
}

void CSkinnedListView::SortByColumn(int column, const RowOrder& order) {
    if (window_ == nullptr || column < 0 || column >= ColumnCount() || !order) return;
    sortDescending_ = column == sortColumn_ ? !sortDescending_ : false;
    sortColumn_ = column;
    ticked_.clear();
    if (column == 0) {
        const int rows = RowCount();
        for (int row = 0; row < rows; ++row)
            if (Checked(row)) ticked_.insert(RowData(row));
    }
    order_ = &order;
    // By the rows' data (LVM_SORTITEMS): a sort by position would look each
    // row up again for every comparison.
    SendMessageA(window_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(&CSkinnedListView::CompareRows));
    order_ = nullptr;
    ticked_.clear();
    ShowSortArrow();
}

void CSkinnedListView::ShowSortArrow() {
    HWND header = reinterpret_cast<HWND>(SendMessageA(window_, LVM_GETHEADER, 0, 0));
    if (header == nullptr) return;
    const int columns = ColumnCount();
    for (int i = 0; i < columns; ++i) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        if (!SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == sortColumn_) item.fmt |= sortDescending_ ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
}

void CSkinnedListView::SelectRow(int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(window_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageA(window_, LVM_ENSUREVISIBLE, row, FALSE);
}

int CSkinnedListView::SelectionMark() const {
    return static_cast<int>(SendMessageA(window_, LVM_GETSELECTIONMARK, 0, 0));
}

}  // namespace qm

#include "core/resultpages.h"

#include <charconv>
#include <cstdio>
#include <utility>

#include "core/templetmodel.h"

namespace sorvane {
namespace {

// An option value read as integer, refused like the store refuses a text that is no number.
int OptionNumber(const std::string& val) {
  std::string_view s = val;
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  int out = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
    throw StoreError("'" + val + "' is not a valid integer value");
  }
  return out;
}

std::string Table(int tab_id) {
  return "t" + std::to_string(tab_id);
}

}  // namespace

void ResultPages::Show(Tdm& store, const TTemplet& entry) {
  pages_.field_list.clear();
  current_ = entry;
  grid_.Reset();
  LoadOptions(store);
  LayOutColumns(store);
  LoadFirstPage(store);
}

void ResultPages::LoadOptions(Tdm& store) {
  // The defaults first: a templet may hold the page settings' rows without display options.
  look_ = GridLook{};
  pages_.records_per_page = kDefaultRecordsPerPage;
  current_.ImgDir = DefaultImageFolder();
  ApplyOptions(ReadOptions(store, current_.ID));
}

void ResultPages::ApplyOptions(const std::vector<OptionRow>& rows) {
  for (const OptionRow& row : rows) {
    switch (row.oid) {
      case kOptRowHeight:
        look_.row_height = OptionNumber(row.val);
        break;
      case kOptFontName:
        look_.font_name = row.val;
        break;
      case kOptFontSize:
        look_.font_size = OptionNumber(row.val);
        break;
      case kOptRecordsPerPage:
        pages_.records_per_page = OptionNumber(row.val);
        break;
      case kOptImageFolder:
        current_.ImgDir = row.val;
        break;
      default:
        break;
    }
  }
}

void ResultPages::LayOutColumns(Tdm& store) {
  const TempletModel model = ReadTemplet(store, current_.ID, TempletParts::kColumns);
  std::vector<GridColumn> columns;
  for (const TempletColumn* shown : model.ShownColumns()) {
    GridColumn column;
    column.ref.ColID = shown->cid;
    column.title = shown->title;
    column.width = shown->width;
    column.ref.FldID = shown->fid;
    if (current_.TabID > 0) {
      pages_.field_list +=
          column.ref.FldID != 0 ? ",f" + std::to_string(column.ref.FldID) : std::string(",''");
    }
    columns.push_back(std::move(column));
  }
  grid_.SetColumns(std::move(columns));
}

void ResultPages::LoadFirstPage(Tdm& store) {
  pages_.record_total = 0;
  if (current_.TabID > 0) {
    Query& q = store.qryM;
    const std::string rest = " id " + pages_.field_list + " from " + Table(current_.TabID);
    if (pages_.records_per_page <= 0) {
      q.Open("select" + rest + " order by id");
    } else {
      q.Open("select top " + std::to_string(pages_.records_per_page) + rest + " order by id");
    }
    FillRows(q, false);
    CountPages(store);
  } else {
    pages_.page_count = 1;
  }
  pages_.current_page = 1;
}

void ResultPages::CountPages(Tdm& store) {
  Query& q = store.qryM;
  q.Open("select count(id) from " + Table(current_.TabID));
  pages_.record_total = q.AsInt(0);
  pages_.page_count = 1;
  if (pages_.records_per_page > 0) {
    const int pages = (pages_.record_total + pages_.records_per_page - 1) / pages_.records_per_page;
    pages_.page_count = pages > 1 ? pages : 1;
  }
}

void ResultPages::FillRows(Query& q, bool reversed) {
  std::vector<std::pair<std::int64_t, std::vector<std::string>>> rows;
  const int fields = q.FieldCount();
  for (; !q.Eof(); q.Next()) {
    std::vector<std::string> cells;
    cells.reserve(fields > 1 ? fields - 1 : 0);
    for (int c = 1; c < fields; ++c)
      cells.push_back(q.AsString(c));
    rows.emplace_back(q.AsInteger(0), std::move(cells));
  }
  grid_.ClearRows();
  if (reversed) {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
      grid_.AppendRow(it->first, std::move(it->second));
  } else {
    for (auto& row : rows)
      grid_.AppendRow(row.first, std::move(row.second));
  }
}

std::string ResultPages::StatusText() const {
  char text[96];
  std::snprintf(text, sizeof text, "All %d records, page %d/%d", pages_.record_total,
                pages_.current_page, pages_.page_count);
  return text;
}

bool ResultPages::PreviousPage(Tdm& store) {
  if (current_.ID == 0 || grid_.DataRowCount() == 0 || pages_.records_per_page <= 0) return false;
  const std::int64_t first_id = grid_.RecordId(1);
  if (first_id == 0) return false;
  Query& q = store.qryM;
  q.Open("select top " + std::to_string(pages_.records_per_page) + " id " + pages_.field_list +
         " from " + Table(current_.TabID) + " where id<" + std::to_string(first_id) +
         " order by id desc");
  if (q.Eof()) return false;
  FillRows(q, true);
  --pages_.current_page;
  return true;
}

bool ResultPages::NextPage(Tdm& store) {
  if (current_.ID == 0 || grid_.DataRowCount() == 0 || pages_.records_per_page <= 0) return false;
  const std::int64_t last_id = grid_.RecordId(grid_.DataRowCount());
  if (last_id == 0) return false;
  Query& q = store.qryM;
  q.Open("select top " + std::to_string(pages_.records_per_page) + " id " + pages_.field_list +
         " from " + Table(current_.TabID) + " where id>" + std::to_string(last_id) +
         " order by id");
  if (q.Eof()) return false;
  FillRows(q, false);
  ++pages_.current_page;
  return true;
}

bool ResultPages::CanPage() const {
  return current_.ID != 0 && current_.TabID > 0 && grid_.DataRowCount() > 0 &&
         pages_.records_per_page > 0 && grid_.RecordId(1) != 0 &&
         grid_.RecordId(grid_.DataRowCount()) != 0;
}

bool ResultPages::HasRecordBeyond(Tdm& store, bool before) {
  const std::int64_t id = before ? grid_.RecordId(1) : grid_.RecordId(grid_.DataRowCount());
  Query& q = store.qryM;
  q.Open("select top 1 id from " + Table(current_.TabID) + " where id" + (before ? "<" : ">") +
         std::to_string(id));
  return !q.Eof();
}

bool ResultPages::FirstPage(Tdm& store) {
  if (!CanPage() || !HasRecordBeyond(store, true)) return false;
  Query& q = store.qryM;
  q.Open("select top " + std::to_string(pages_.records_per_page) + " id " + pages_.field_list +
         " from " + Table(current_.TabID) + " order by id");
  FillRows(q, false);
  pages_.current_page = 1;
  return true;
}

bool ResultPages::LastPage(Tdm& store) {
  if (!CanPage() || !HasRecordBeyond(store, false)) return false;
  CountPages(store);
  const int per_page = pages_.records_per_page;
  // The full pages come first; the last page holds the rest, or a full page when none is left.
  const int rest = pages_.record_total - (pages_.page_count - 1) * per_page;
  const int rows = rest > 0 ? rest : per_page;
  Query& q = store.qryM;
  q.Open("select top " + std::to_string(rows) + " id " + pages_.field_list + " from " +
         Table(current_.TabID) + " order by id desc");
  FillRows(q, true);
  pages_.current_page = pages_.page_count;
  return true;
}

bool ResultPages::CanDeleteRows() const {
  return current_.ID != 0 && current_.TabID != 0 && grid_.DataRowCount() > 0;
}

void ResultPages::DeleteRows(Tdm& store, int top, int bottom) {
  if (!CanDeleteRows()) return;
  if (top < 1) top = 1;
  if (bottom > grid_.DataRowCount()) bottom = grid_.DataRowCount();
  if (top > bottom) return;
  std::string ids;
  for (int row = top; row <= bottom; ++row) {
    const std::int64_t id = grid_.RecordId(row);
    if (id == 0) continue;
    if (!ids.empty()) ids += ",";
    ids += std::to_string(id);
  }
  if (!ids.empty()) {
    store.qryM.Execute("delete from " + Table(current_.TabID) + " where id in (" + ids + ")");
  }
  grid_.RemoveRows(top, bottom);
}

void ResultPages::SaveColumnWidths(Tdm& store) {
  if (current_.ID <= 0) return;
  for (const GridColumn& column : grid_.Columns()) {
    store.qryM.Execute("update cols set width=" + std::to_string(column.width) +
                       " where tmid=" + std::to_string(current_.ID) +
                       " and cid=" + std::to_string(column.ref.ColID));
  }
}

}  // namespace sorvane

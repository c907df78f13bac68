#pragma once

// What the result grid shows of the current templet's target table, one page at a time: the
// grid's columns, the stored pages, the browsing state (records per page, field list, current
// page, page count, record total), the grid's display settings from the templet's options, and
// the commands on stored rows (delete selected rows, save column widths).
//
// Every operation that reads or writes the store does so on store.qryM and throws StoreError
// when a statement fails; it stops there and leaves the grid as far as it got (for example the
// titles without records).

#include <string>
#include <vector>

#include "core/options.h"
#include "core/resultgrid.h"
#include "core/store.h"
#include "core/templet.h"

namespace sorvane {

// Browsing state of the target table.
struct PageState {
  int records_per_page = kDefaultRecordsPerPage;  // 0 or less: every record on one page
  // ",f<fid>" or ",''" per shown column, only when the templet has a target table, so that
  // "select id" + field list yields the record id at position 0 and column c at position c.
  std::string field_list;
  int current_page = 0;
  int page_count = 0;
  int record_total = 0;
};

// The grid's display settings taken from the options.
struct GridLook {
  int row_height = kDefaultRowHeight;  // every data row; the title row stays kTitleRowHeight
  std::string font_name = kDefaultGridFontName;
  int font_size = kDefaultFontSize;  // points
};

inline constexpr int kTitleRowHeight = 20;

class ResultPages {
 public:
  // `grid` must outlive this object.
  explicit ResultPages(ResultGrid& grid) : grid_(grid) {}

  // The current templet: all zero until a templet is first shown.
  const TTemplet& Current() const { return current_; }
  const PageState& Pages() const { return pages_; }
  const GridLook& Look() const { return look_; }

  // Shows `entry`: the current templet becomes a copy of it, the grid is emptied, the options are
  // loaded (LoadOptions), the columns laid out and the first page of the target table loaded.
  void Show(Tdm& store, const TTemplet& entry);

  // Reads the option rows of the current templet and applies them; without rows the defaults
  // apply (row height 20, font "arial" 8, 20 records per page, image folder DefaultImageFolder()).
  void LoadOptions(Tdm& store);
  // Applies option rows in the order given: oid 1 row height, 2 font name, 3 font size, 4 records
  // per page, 5 ImgDir of the current templet; other ids are ignored, values not present keep
  // what they were. A number that is no whole number throws StoreError.
  void ApplyOptions(const std::vector<OptionRow>& rows);

  // "All %d records, page %d/%d" with the record total, current page and page count.
  std::string StatusText() const;

  // The page before the first row shown, or after the last one. Nothing happens (false) when
  // no templet is current, the grid has no data row, the row paged from has no stored-record id
  // (run results), records per page is 0 or less (everything is on the one page), or there is
  // no record before or after. Otherwise the rows are replaced, the current page moves by one,
  // and the result is true. The record total is not recounted.
  bool PreviousPage(Tdm& store);
  bool NextPage(Tdm& store);
  // The first page, or the last: the pages count from the lowest id, so the last page holds
  // what is left after the full pages before it. Nothing happens (false) under the conditions
  // of PreviousPage/NextPage, or when no record lies before the first row shown (FirstPage) or
  // after the last one (LastPage). LastPage counts the records anew, so that it finds the last
  // page of the table as it is now; the record total and the page count take that count.
  bool FirstPage(Tdm& store);
  bool LastPage(Tdm& store);

  // Whether Delete Selected applies: a templet is current, it has a target table, and the grid
  // has a data row.
  bool CanDeleteRows() const;
  // Deletes data rows top..bottom (clamped to the rows there are): the stored records among
  // them with one "delete from t<taid> where id in (...)" statement (none when no row has a
  // stored-record id), then the rows from the grid; the rows below move up. The record total
  // and page count stay as they were. Does nothing unless CanDeleteRows().
  void DeleteRows(Tdm& store, int top, int bottom);

  // Stores the width of every grid column in its cols row; nothing without a current templet.
  void SaveColumnWidths(Tdm& store);

 private:
  void LayOutColumns(Tdm& store);
  void LoadFirstPage(Tdm& store);
  // Replaces the grid's rows by the rows of the open result of store.qryM, in reverse order of
  // reading when `reversed`.
  void FillRows(Query& q, bool reversed);
  // Whether paging applies: a current templet, stored rows shown, records per page above 0.
  bool CanPage() const;
  // Whether store.qryM finds a record of the target table before (`before`) row 1's id or after
  // the last row's id.
  bool HasRecordBeyond(Tdm& store, bool before);
  void CountPages(Tdm& store);

  ResultGrid& grid_;
  TTemplet current_;
  PageState pages_;
  GridLook look_;
};

}  // namespace sorvane

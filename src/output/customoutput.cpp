#include "output/customoutput.h"

#include "core/resultgrid.h"
#include "engine/decimal.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"
#include "output/atomicfile.h"

namespace sorvane {
namespace {

constexpr std::size_t kMaxFileNameLength = 250;

// The grid column of each tag, looked up once for all rows.
std::vector<int> TagColumns(const ResultGrid& grid, const std::vector<PatternTag>& tags) {
  std::vector<int> columns;
  columns.reserve(tags.size());
  for (const PatternTag& tag : tags)
    columns.push_back(FindGridColumn(grid, tag.column_id));
  return columns;
}

std::string Expand(const ResultGrid& grid, int row, std::string_view pattern,
                   const std::vector<PatternTag>& tags, const std::vector<int>& columns,
                   bool for_sql) {
  std::string working(pattern);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const std::string_view cell = columns[i] > 0 ? grid.Cell(columns[i], row) : std::string_view();
    if (for_sql && cell.find('\'') != std::string_view::npos) {
      working = ReplaceText(working, tags[i].text, ReplaceStr(cell, "'", "''"));
    } else {
      working = ReplaceText(working, tags[i].text, cell);
    }
  }
  return working;
}

}  // namespace

std::optional<std::string> LoadOutputPattern(Tdm& store, int templet_id) {
  store.qryM.Open("select ots from tmps where tmid=" + std::to_string(templet_id));
  if (store.qryM.Eof()) return std::nullopt;
  return store.qryM.AsString(0);
}

void SaveOutputPattern(Tdm& store, int templet_id, std::string_view pattern) {
  store.qryM.Execute("update tmps set ots=" + QuotedStr(pattern) +
                     " where tmid=" + std::to_string(templet_id));
}

int FindGridColumn(const ResultGrid& grid, int column_id) {
  const std::vector<GridColumn>& columns = grid.Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].ref.ColID == column_id) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string CleanFileName(std::string_view text) {
  text = text.substr(0, kMaxFileNameLength);
  std::string name;
  name.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) continue;
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        continue;
      default:
        name += c;
    }
  }
  // "." and ".." name the folder itself and its parent; names of dots and blanks alone are
  // refused with them.
  if (name.find_first_not_of(". ") == std::string::npos) name.clear();
  return name;
}

std::vector<PatternTag> ScanTags(std::string_view pattern) {
  RegExpr re;
  re.SetExpression(kColumnTagExpression);
  std::vector<PatternTag> tags;
  for (bool found = re.Exec(pattern); found; found = re.ExecNext())
    tags.push_back({re.Match(0), RequireDecimalInt32(re.MatchView(1))});
  return tags;
}

std::string ExpandRecord(const ResultGrid& grid, int row, std::string_view pattern,
                         const std::vector<PatternTag>& tags, bool for_sql) {
  return Expand(grid, row, pattern, tags, TagColumns(grid, tags), for_sql);
}

void ExpandToText(const ResultGrid& grid, const CustomOutputRequest& request, std::string& text,
                  const std::function<void(int row)>& after_record) {
  if (grid.DataRowCount() == 0) return;
  const std::vector<PatternTag> tags = ScanTags(request.pattern);
  const std::vector<int> columns = TagColumns(grid, tags);
  for (int r = 1; r <= grid.DataRowCount(); ++r) {
    text += Expand(grid, r, request.pattern, tags, columns, request.for_sql);
    text += '\n';
    if (after_record) after_record(r);
  }
}

std::string OutputFileName(const ResultGrid& grid, int row, int name_column) {
  std::string name;
  if (name_column > 0) {
    if (const int c = FindGridColumn(grid, name_column); c > 0)
      name = CleanFileName(grid.Cell(c, row));
  }
  if (name.empty()) name = std::to_string(row);
  return name;
}

void WriteOutputFiles(const ResultGrid& grid, const CustomOutputRequest& request,
                      const std::string& folder, const std::function<void(int row)>& after_record) {
  if (grid.DataRowCount() == 0) return;
  const std::string extension = request.extension.empty() ? ".txt" : request.extension;
  // The extension is typed by the user; a separator in it would put the files elsewhere.
  if (extension.find('/') != std::string::npos || extension.find('\0') != std::string::npos) {
    throw OutputError("Cannot create files with the extension \"" + extension +
                      "\": a file name cannot hold \"/\"");
  }
  const std::vector<PatternTag> tags = ScanTags(request.pattern);
  const std::vector<int> columns = TagColumns(grid, tags);
  for (int r = 1; r <= grid.DataRowCount(); ++r) {
    const std::string text = Expand(grid, r, request.pattern, tags, columns, request.for_sql);
    WriteFileAtomically(folder + "/" + OutputFileName(grid, r, request.name_column) + extension,
                        text);
    if (after_record) after_record(r);
  }
}

}  // namespace sorvane

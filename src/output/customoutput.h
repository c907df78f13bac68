#pragma once

// Custom-format output: an output pattern (free text with column tags "<CID:n/>", letters in any
// case, n a column id of the templet) copied once per record of the result grid, every tag
// replaced by that record's value of column n. The copies go into one text (the dialog's output
// box) or into one file per record in an output folder.
//
// Store statements run on store.qryM and throw StoreError.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/store.h"

namespace sorvane {

class ResultGrid;

// The expression that finds column tags; group 1 is the column id.
inline constexpr char kColumnTagExpression[] = "(?i)<CID:(\\d+)/>";

// The stored pattern of templet `templet_id` ("select ots from tmps where tmid=..."): nothing when
// no templet has that id, the empty text for a null.
std::optional<std::string> LoadOutputPattern(Tdm& store, int templet_id);
// Stores `pattern` unchanged as the pattern of templet `templet_id`.
void SaveOutputPattern(Tdm& store, int templet_id, std::string_view pattern);

// The first grid column (counting from 1) whose TColRef has ColID `column_id`; 0 when none has.
int FindGridColumn(const ResultGrid& grid, int column_id);

// A record's value made into a file name that stays inside the output folder: the first 250
// bytes of `text`, without the characters \ / : * ? " < > | and without control bytes. A result
// made only of dots and blanks (".", "..") is refused as the empty text, so that the caller names
// the file by its row number instead.
std::string CleanFileName(std::string_view text);

// One column tag of a pattern: the text that matched and the column id it names.
struct PatternTag {
  std::string text;
  int column_id = 0;
};

// Every tag of `pattern`, left to right. Throws RunError for a tag number beyond 32 bits.
std::vector<PatternTag> ScanTags(std::string_view pattern);

struct CustomOutputRequest {
  std::string pattern;
  // Doubles every "'" of a value, for values placed between quotes of SQL statements.
  bool for_sql = false;
  // The column id whose value names each output file; 0 for none (files named by row number).
  int name_column = 0;
  // The output files' extension with its leading "."; empty gives ".txt".
  std::string extension;
};

// The output text of data row `row`. Tags are replaced in the order the pattern holds them,
// each one everywhere in the text built so far, comparing without regard to letter case; a tag
// whose column is not in the grid gives the empty text.
std::string ExpandRecord(const ResultGrid& grid, int row, std::string_view pattern,
                         const std::vector<PatternTag>& tags, bool for_sql);

// Appends the output text of every data row to `text`, each followed by a line break "\n". On
// an error (a tag number beyond 32 bits) `text` keeps what was appended before it.
// `after_record` (may be empty) is called after each row.
void ExpandToText(const ResultGrid& grid, const CustomOutputRequest& request, std::string& text,
                  const std::function<void(int row)>& after_record = {});

// The name (without folder and extension) of row `row`'s output file: CleanFileName of its
// value in the name column when that column is in the grid, else (or when that gives nothing)
// the row number.
std::string OutputFileName(const ResultGrid& grid, int row, int name_column);

// Writes each data row's output text as the whole content of the file `folder` + "/" + its
// name + the extension, each written atomically (atomicfile.h); a later row of the same name
// replaces an earlier one. `after_record` (may be empty) is called after each file. Throws
// OutputError (or RunError) at the first record that fails; files already written stay.
void WriteOutputFiles(const ResultGrid& grid, const CustomOutputRequest& request,
                      const std::string& folder, const std::function<void(int row)>& after_record);

}  // namespace sorvane

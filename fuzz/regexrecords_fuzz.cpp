// The expression record loops (whole page and record blocks) on arbitrary expressions and pages.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/record.h"
#include "engine/regexpr.h"
#include "engine/regexrecords.h"
#include "fuzzhost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvane;
  FuzzedDataProvider in(data, size);
  const std::string expression = in.ConsumeRandomLengthString(100);
  const bool record_tags = in.ConsumeBool();
  const std::string reference = in.ConsumeRandomLengthString(12);  // a column's "$n"
  const std::string page = in.ConsumeRemainingBytesAsString();

  std::vector<TCol> cols(3);
  cols[0].OpenTag = "$0";
  cols[1].OpenTag = "$1";
  cols[2].OpenTag = "$" + reference;
  const std::vector<TTrans> rules;
  fuzz::FuzzHost host;
  host.Columns(3);
  int extracted = 0;
  std::vector<int> unfinished;
  RecordAppender appender(host, host.grid, cols, rules, {}, nullptr, extracted, &unfinished);
  const RegexPlan plan(cols, expression, record_tags ? "<r>" : "", record_tags ? "</r>" : "");
  static RegExpr re;  // one engine, as the window has
  plan.ExtractRecords(appender, host, re, page, 1);
  // Every row is counted or was left unfinished.
  if (extracted + static_cast<int>(unfinished.size()) != host.grid.DataRowCount()) std::abort();
  for (int row = 1; row <= host.grid.DataRowCount(); ++row) {
    if (host.grid.Cell(1, row).size() > page.size()) std::abort();
  }
  return 0;
}

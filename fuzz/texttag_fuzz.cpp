// The text-tag cutter and both text-tag record loops on arbitrary tags and pages.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/record.h"
#include "engine/runerror.h"
#include "engine/texttag.h"
#include "fuzzhost.h"

namespace {

using namespace sorvane;

// Every cut: the value lies inside the page, and the position moves forward. (A value may be
// empty: what lies between the tags is trimmed after the cut.)
void CutAll(const TagPair& tags, std::string_view page, std::size_t pos) {
  std::string_view value;
  for (int cuts = 0; cuts < 1000; ++cuts) {
    const std::size_t before = pos;
    if (!tags.Cut(page, value, pos)) {
      if (pos != before || !value.empty()) std::abort();
      return;
    }
    if (pos <= before || pos > page.size() + 1) std::abort();
    if (value.data() < page.data() || value.data() + value.size() > page.data() + page.size()) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string open = in.ConsumeRandomLengthString(60);
  const std::string close = in.ConsumeRandomLengthString(60);
  const std::string record_open = in.ConsumeRandomLengthString(30);
  const std::string record_close = in.ConsumeRandomLengthString(30);
  const std::size_t pos = in.ConsumeIntegralInRange<std::size_t>(0, 64);
  const std::string page = in.ConsumeRemainingBytesAsString();
  try {
    CutAll(TagPair(open, close), page, pos);

    std::vector<TCol> cols(2);
    cols[0].OpenTag = open;
    cols[0].CloseTag = close;
    cols[1].OpenTag = close;
    cols[1].CloseTag = open;
    const std::vector<TTrans> rules;
    fuzz::FuzzHost host;
    host.Columns(2);
    int extracted = 0;
    std::vector<int> unfinished;
    RecordAppender appender(host, host.grid, cols, rules, {}, nullptr, extracted, &unfinished);
    const TextTagPlan plan(cols, record_open, record_close);
    plan.ExtractRecords(appender, page, pos);
    if (extracted != host.grid.DataRowCount()) std::abort();
  } catch (const RunError&) {
    // A repetition count too large: the run's error.
  }
  return 0;
}

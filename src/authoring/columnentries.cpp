#include "authoring/columnentries.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace sorvane {

std::string FieldDisplayName(const TColEntry& entry) {
  return entry.kind == kColStartRecordTag ? std::string(kRecordTagFieldName) : entry.field_title;
}

bool HasRecordTagEntry(const std::vector<TColEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [](const TColEntry& e) { return e.kind == kColStartRecordTag; });
}

int MoveEntry(std::vector<TColEntry>& entries, int index, int step) {
  const int size = static_cast<int>(entries.size());
  const int target = index + step;
  if (index < 0 || index >= size || target < 0 || target >= size) return index;
  std::swap(entries[static_cast<std::size_t>(index)], entries[static_cast<std::size_t>(target)]);
  return target;
}

int SubExpressionNumber(std::string_view first_value) {
  if (first_value.size() < 2) return -1;
  const std::string_view digits = first_value.substr(1, 3);
  int n = -1;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, n);
  if (ec != std::errc() || ptr != end) return -1;
  return n;
}

std::string SubExpressionValue(int n) {
  return "$" + std::to_string(n);
}

std::vector<int> FieldIdsOfTable(Tdm& store, int taid) {
  std::vector<int> ids;
  Query& q = store.qryM;
  for (q.Open("select fid from flds where taid=" + std::to_string(taid)); !q.Eof(); q.Next())
    ids.push_back(q.AsInt(0));
  return ids;
}

bool ReadTableName(Tdm& store, int taid, std::string& name) {
  Query& q = store.qryM;
  q.Open("select tan from tabs where taid=" + std::to_string(taid));
  if (q.Eof()) return false;
  name = q.AsString(0);
  return true;
}

void ClearFieldReferences(std::vector<TColEntry>& entries, const std::vector<int>& former_fields) {
  for (TColEntry& entry : entries) {
    if (entry.fid == 0 ||
        std::find(former_fields.begin(), former_fields.end(), entry.fid) == former_fields.end()) {
      continue;
    }
    entry.fid = 0;
    entry.field_title.clear();
  }
}

}  // namespace sorvane

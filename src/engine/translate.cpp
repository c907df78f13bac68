#include "engine/translate.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "engine/decimal.h"
#include "engine/qstrings.h"

namespace sorvane {

std::string SubstrAt(const std::string& value, int index, int length) {
  const long long from = std::max(index, 1);
  const long long size = static_cast<long long>(value.size());
  if (from > size || length < 0) return {};
  const long long count = std::min<long long>(length, size - from + 1);
  return value.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count));
}

std::string DeleteAt(std::string value, int index, int length) {
  const long long size = static_cast<long long>(value.size());
  if (index < 1 || index > size || length <= 0) return value;
  const long long count = std::min<long long>(length, size - index + 1);
  value.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
  return value;
}

std::string TranslateValue(const std::vector<TTrans>& rules, int col_id, std::string value) {
  for (const TTrans& rule : rules) {
    if (rule.ColID != col_id) continue;
    bool hit = false;
    switch (rule.Rel) {
      case kRelEqual:
        hit = rule.SrcVal == value;
        break;
      case kRelNotEqual:
        hit = rule.SrcVal != value;
        break;
      case kRelInclude:
        hit = PosStr(rule.SrcVal, value, 1) > 0;
        break;
      case kRelNotInclude:
        hit = PosStr(rule.SrcVal, value, 1) == 0;
        break;
      case kRelSubstr:
        value = SubstrAt(value, RequireDecimalInt32(rule.SrcVal), RequireDecimalInt32(rule.DstVal));
        break;
      case kRelReplace:
        value = ReplaceText(value, rule.SrcVal, rule.DstVal);
        break;
      case kRelDelete:
        value = DeleteAt(std::move(value), RequireDecimalInt32(rule.SrcVal),
                         RequireDecimalInt32(rule.DstVal));
        break;
      case kRelConcat:
        value = rule.SrcVal + value + rule.DstVal;
        break;
      default:
        break;
    }
    if (hit) return rule.DstVal;
  }
  return value;
}

}  // namespace sorvane

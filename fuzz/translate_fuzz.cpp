// The value translation rules on arbitrary rule lists and values.

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/runerror.h"
#include "engine/translate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvane;
  FuzzedDataProvider in(data, size);
  std::vector<TTrans> rules(in.ConsumeIntegralInRange<std::size_t>(0, 6));
  for (TTrans& rule : rules) {
    rule.ColID = in.ConsumeIntegralInRange(1, 2);
    rule.Rel = in.ConsumeIntegralInRange(-1, 8);
    rule.SrcVal = in.ConsumeRandomLengthString(50);
    rule.DstVal = in.ConsumeRandomLengthString(50);
  }
  const int index = in.ConsumeIntegral<int>();
  const int length = in.ConsumeIntegral<int>();
  const std::string value = in.ConsumeRemainingBytesAsString();
  try {
    TranslateValue(rules, 1, value);
  } catch (const RunError&) {
    // A position argument that is no number.
  }
  const std::string part = SubstrAt(value, index, length);
  if (part.size() > value.size() || value.find(part) == std::string::npos) std::abort();
  const std::string rest = DeleteAt(value, index, length);
  if (rest.size() > value.size()) std::abort();
  return 0;
}

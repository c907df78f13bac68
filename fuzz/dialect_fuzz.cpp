// The statement dialect adapter on arbitrary statement texts, and quoted values that must come
// back as the same bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/dialect.h"
#include "core/store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvane;
  FuzzedDataProvider in(data, size);
  const std::string value = in.ConsumeRandomLengthString(40);
  const std::string type = in.ConsumeRandomLengthString(20);
  const std::string statement = in.ConsumeRemainingBytesAsString();
  try {
    dialect::Adapt(statement);
  } catch (const StoreError&) {
    // A text the store refuses.
  }
  dialect::ColumnDefinition("f1", type);
  if (dialect::TextLimit(type) < 0) std::abort();

  // A quoted value reaches the store as the same bytes.
  const dialect::Adapted adapted =
      dialect::Adapt("insert into t1(f1) values(" + dialect::Quote(value) + ")");
  if (adapted.params.size() != 1 || adapted.params[0] != value) std::abort();
  return 0;
}

#include "authoring/columnchecks.h"

#include "core/templetmodel.h"

namespace sorvane {
namespace {

// Kind 1: something must be given, and the record tags come as a pair.
std::optional<ColumnRefusal> CheckRecordTags(const ColumnForm& form) {
  if (form.title.empty() && form.open_tag.empty() && form.close_tag.empty())
    return ColumnRefusal{"You cann't let all be empty.", ColumnInput::kTitle};
  if (form.open_tag.empty() == form.close_tag.empty()) return std::nullopt;
  const char* pair = "Open/close tag is a pair, should be both empty or not empty.";
  return ColumnRefusal{pair,
                       form.open_tag.empty() ? ColumnInput::kOpenTag : ColumnInput::kCloseTag};
}

}  // namespace

std::optional<ColumnRefusal> CheckTextTagColumn(const ColumnForm& form) {
  if (form.kind == kColStartRecordTag) return CheckRecordTags(form);
  if (form.title.empty())
    return ColumnRefusal{"Column title cann't be empty.", ColumnInput::kTitle};
  if (form.kind == kColFieldValue) return std::nullopt;
  if (form.open_tag.empty())
    return ColumnRefusal{"Open tag cann't be empty.", ColumnInput::kOpenTag};
  if (form.close_tag.empty())
    return ColumnRefusal{"Close tag cann't be empty. ", ColumnInput::kCloseTag};
  return std::nullopt;
}

std::optional<ColumnRefusal> CheckRegExprColumn(const ColumnForm& form) {
  if (form.kind == kColStartRecordTag) return CheckRecordTags(form);
  if (form.title.empty())
    return ColumnRefusal{"Cann't let column title be empty.", ColumnInput::kTitle};
  if (form.kind == kColFieldValue) return std::nullopt;
  if (form.sub_expression < 0)
    return ColumnRefusal{"The column need a expression as data source.",
                         ColumnInput::kSubExpression};
  return std::nullopt;
}

}  // namespace sorvane

#pragma once

// The column dialogs' logic: the four column kinds as their choice lists them, and the checks on
// OK of the text-tag and the regular-expression column dialog. Texts are tested as typed (a blank
// is not empty).

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sorvane {

// The kind choice, in code order (cols.tag).
inline constexpr std::array<const char*, 4> kColumnKindNames = {
    "Normal", "Start/Record Tag", "Value From Field in URL", "Image To Download"};

// The inputs a refused check names.
enum class ColumnInput { kTitle, kOpenTag, kCloseTag, kSubExpression };

struct ColumnRefusal {
  std::string message;  // written into the dialog's note line
  ColumnInput focus = ColumnInput::kTitle;
};

// What the two dialogs hand in. For kind 1 the open and close tag are the record tags (in the
// expression dialog the start tag edit and the close tag edit).
struct ColumnForm {
  int kind = 0;
  std::string title;
  std::string open_tag;
  std::string close_tag;
  int sub_expression = -1;  // expression dialog: the chosen entry, -1 for none
};

// The text-tag column dialog's checks; nothing when the column may be taken.
std::optional<ColumnRefusal> CheckTextTagColumn(const ColumnForm& form);
// The expression column dialog's checks; nothing when the column may be taken.
std::optional<ColumnRefusal> CheckRegExprColumn(const ColumnForm& form);

}  // namespace sorvane

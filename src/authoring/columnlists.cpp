// The templet editor's step 3: the two column lists with their operations, the target table, the
// note beside the heading, and the aids for writing the expression.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "authoring/expressionaids.h"
#include "authoring/regexprcoldialog.h"
#include "authoring/tabdialog.h"
#include "authoring/templeteditor.h"
#include "authoring/templetform.h"
#include "authoring/texttagcoldialog.h"
#include "authoring/transdialog.h"
#include "core/errorbox.h"
#include "core/messagebox.h"
#include "core/screentext.h"

namespace sorvane {
namespace {

const QString kNote = QStringLiteral("Note");

// The fields of an entry taken from a column dialog that are the same for both methods.
template <typename Dialog>
void TakeTitleAndKind(const Dialog& dialog, TColEntry& entry) {
  entry.title = dialog.ColTit();
  entry.kind = dialog.ColTag();
}

}  // namespace

void TfrmTemplet::ShowEntries(ColumnPanel& panel, int select) {
  QTreeWidget* list = panel.list;
  list->clear();
  for (const TColEntry& entry : panel.entries) {
    auto* item = new QTreeWidgetItem(list);
    item->setText(0, ScreenText(entry.title));
    item->setText(1, ScreenText(entry.open_tag));
    item->setText(2, ScreenText(entry.close_tag));
    item->setText(3, ScreenText(FieldDisplayName(entry)));
  }
  if (select >= 0 && select < list->topLevelItemCount()) {
    QTreeWidgetItem* item = list->topLevelItem(select);
    list->setCurrentItem(item);
    list->scrollToItem(item);
  }
}

int TfrmTemplet::SelectedEntry(const ColumnPanel& panel) const {
  const QList<QTreeWidgetItem*> selected = panel.list->selectedItems();
  return selected.isEmpty() ? -1 : panel.list->indexOfTopLevelItem(selected.first());
}

void TfrmTemplet::AddColumn(ColumnPanel& panel) {
  TColEntry entry;
  if (panel.text_tag) {
    TfrmTextTagCol dialog(store_, this);
    if (!RunCommand(this, [&] { dialog.SetTabID(tab_id_); })) return;
    if (dialog.exec() != QDialog::Accepted) return;
    TakeTitleAndKind(dialog, entry);
    entry.open_tag = dialog.StartTag();
    entry.close_tag = dialog.EndTag();
    entry.fid = dialog.FieldID();
    entry.field_title = dialog.FieldNam();
  } else {
    TfrmRegExprCol dialog(store_, this);
    dialog.SetHighlighter([this](int n) { HighlightSubExpression(n); });
    if (!RunCommand(this, [&] { dialog.SetTabID(tab_id_); })) return;
    dialog.SetRegExprNum(group_count_);
    if (dialog.exec() != QDialog::Accepted) return;
    TakeTitleAndKind(dialog, entry);
    if (entry.kind == kColStartRecordTag) {
      entry.open_tag = dialog.StartTag();
      entry.close_tag = dialog.EndTag();
    } else {
      entry.open_tag = SubExpressionValue(dialog.RegExprNo());
    }
    entry.fid = dialog.FieldID();
    entry.field_title = dialog.FieldNam();
  }
  if (entry.kind == kColStartRecordTag && HasRecordTagEntry(panel.entries)) {
    MessageBox::Warning(
        this, kNote,
        QStringLiteral("Start/Record tag exists already,\nonly one permitted to a templet."));
    return;
  }
  panel.entries.push_back(std::move(entry));
  ShowEntries(panel, static_cast<int>(panel.entries.size()) - 1);
}

void TfrmTemplet::EditColumn(ColumnPanel& panel) {
  const int index = SelectedEntry(panel);
  if (index < 0) return;
  TColEntry& entry = panel.entries[static_cast<std::size_t>(index)];
  if (panel.text_tag) {
    TfrmTextTagCol dialog(store_, this);
    if (!RunCommand(this, [&] { dialog.SetTabID(tab_id_); })) return;
    dialog.SetFieldID(entry.fid);
    dialog.SetColTit(entry.title);
    dialog.SetStartTag(entry.open_tag);
    dialog.SetEndTag(entry.close_tag);
    dialog.SetColTag(entry.kind);
    if (dialog.exec() != QDialog::Accepted) return;
    TakeTitleAndKind(dialog, entry);
    entry.open_tag = dialog.StartTag();
    entry.close_tag = dialog.EndTag();
    // The start and record tags take no field in this list.
    entry.fid = entry.kind == kColStartRecordTag ? 0 : dialog.FieldID();
    entry.field_title = entry.kind == kColStartRecordTag ? std::string() : dialog.FieldNam();
  } else {
    TfrmRegExprCol dialog(store_, this);
    dialog.SetHighlighter([this](int n) { HighlightSubExpression(n); });
    if (!RunCommand(this, [&] { dialog.SetTabID(tab_id_); })) return;
    dialog.SetFieldID(entry.fid);
    dialog.SetColTit(entry.title);
    dialog.SetRegExprNum(group_count_);
    if (entry.kind == kColStartRecordTag) {
      dialog.SetStartTag(entry.open_tag);
      dialog.SetEndTag(entry.close_tag);
    } else {
      dialog.SetRegExprNo(SubExpressionNumber(entry.open_tag));
    }
    dialog.SetColTag(entry.kind);
    if (dialog.exec() != QDialog::Accepted) return;
    TakeTitleAndKind(dialog, entry);
    if (entry.kind == kColStartRecordTag) {
      entry.open_tag = dialog.StartTag();
      entry.close_tag = dialog.EndTag();
    } else {
      entry.open_tag = SubExpressionValue(dialog.RegExprNo());
      entry.close_tag.clear();
      entry.fid = dialog.FieldID();
      entry.field_title = dialog.FieldNam();
    }
  }
  ShowEntries(panel, index);
}

void TfrmTemplet::DeleteColumn(ColumnPanel& panel) {
  const int index = SelectedEntry(panel);
  if (index < 0) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to delete this column?")) !=
      QMessageBox::Yes) {
    return;
  }
  const int cid = panel.entries[static_cast<std::size_t>(index)].cid;
  if (cid > 0 && !RunCommand(this, [&] { DeleteStoredColumn(store_, cid); })) return;
  panel.entries.erase(panel.entries.begin() + index);
  // The entry below takes the selection (none when the last one went).
  ShowEntries(panel, index);
}

void TfrmTemplet::MoveColumn(int step) {
  ColumnPanel* panel = text_tag_.list->hasFocus()   ? &text_tag_
                       : reg_expr_.list->hasFocus() ? &reg_expr_
                                                    : nullptr;
  if (!panel) return;
  const int index = SelectedEntry(*panel);
  if (index < 0) return;
  ShowEntries(*panel, MoveEntry(panel->entries, index, step));
}

void TfrmTemplet::Translate(ColumnPanel& panel) {
  const int index = SelectedEntry(panel);
  if (index < 0) {
    MessageBox::Information(this, kNote, QStringLiteral("Please select a column first."));
    return;
  }
  const int cid = panel.entries[static_cast<std::size_t>(index)].cid;
  if (cid == 0) {
    MessageBox::Information(this, kNote, QStringLiteral("Please save this templet first."));
    return;
  }
  TfrmTrans dialog(store_, this);
  if (!RunCommand(this, [&] { dialog.SetColID(cid); })) return;
  dialog.exec();
}

void TfrmTemplet::SelectTable() {
  TfrmTab dialog(store_, this);
  if (!RunCommand(this, [&] { dialog.LoadTables(); })) return;
  dialog.PresetID(tab_id_);
  if (dialog.exec() != QDialog::Accepted || dialog.SelectedID() == tab_id_) return;
  const int former = tab_id_;
  tab_id_ = dialog.SelectedID();
  RunCommand(this, [&] {
    // Field references into the former table would name fields the new table does not have.
    if (former > 0) {
      const std::vector<int> fields = FieldIdsOfTable(store_, former);
      ClearFieldReferences(text_tag_.entries, fields);
      ClearFieldReferences(reg_expr_.entries, fields);
    }
    std::string name;
    if (ReadTableName(store_, tab_id_, name))
      lblNote_->setText(QStringLiteral("(Table: ") + ScreenText(name) + QStringLiteral(")"));
  });
  ShowEntries(text_tag_, SelectedEntry(text_tag_));
  ShowEntries(reg_expr_, SelectedEntry(reg_expr_));
}

void TfrmTemplet::ExpressionChanged() {
  const std::string expression = Bytes(edtRegExpr_->text());
  group_count_ = sorvane::GroupCount(expression);
  lblNote_->setText(ScreenText(BracketNote(expression)));
}

void TfrmTemplet::InsertMetacharacter(int index) {
  if (index <= 0) return;
  InsertIntoExpression(InsertedText(kMetaItems[static_cast<std::size_t>(index)]));
}

void TfrmTemplet::InsertIterator(int index) {
  if (index <= 0) return;
  const IteratorText filled = FillIterator(kIteratorItems[static_cast<std::size_t>(index)],
                                           Bytes(edtN_->text()), Bytes(edtM_->text()));
  switch (filled.missing) {
    case IteratorText::Missing::kN:
      MessageBox::Information(this, kNote, QStringLiteral("Please input a number as \"n\"."));
      edtN_->setFocus();
      return;
    case IteratorText::Missing::kM:
      MessageBox::Information(this, kNote, QStringLiteral("Please input a number as \"m\"."));
      edtM_->setFocus();
      return;
    case IteratorText::Missing::kNone:
      InsertIntoExpression(filled.text);
      return;
  }
}

void TfrmTemplet::InsertIntoExpression(const std::string& text) {
  edtRegExpr_->insert(ScreenText(text));
  edtRegExpr_->setFocus();
}

void TfrmTemplet::HighlightSubExpression(int n) {
  const std::string expression = Bytes(edtRegExpr_->text());
  const std::optional<TextSpan> span = SubExpressionSpan(expression, n);
  if (!span) return;
  const int start = ScreenOffset(expression, span->start);
  edtRegExpr_->setSelection(start, ScreenOffset(expression, span->start + span->length) - start);
}

void TfrmTemplet::AddSourceColumn(const std::string& title, const std::string& open_tag,
                                  const std::string& close_tag) {
  TColEntry entry;
  entry.title = title;
  entry.open_tag = open_tag;
  entry.close_tag = close_tag;
  text_tag_.entries.push_back(std::move(entry));
  ShowEntries(text_tag_, static_cast<int>(text_tag_.entries.size()) - 1);
}

}  // namespace sorvane

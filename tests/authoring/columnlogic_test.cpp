// The logic behind the editor's column lists and its column, rule and picker dialogs: entry
// moves and field references, the column checks, the rule checks and the stored rules, and the
// entries offered for picking.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/columnchecks.h"
#include "authoring/columnentries.h"
#include "authoring/pickitems.h"
#include "authoring/translationrules.h"
#include "engine/translate.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

TColEntry Entry(const std::string& title, int fid = 0, int kind = kColNormal) {
  TColEntry entry;
  entry.title = title;
  entry.fid = fid;
  entry.kind = kind;
  entry.field_title = fid ? "field " + std::to_string(fid) : "";
  return entry;
}

std::vector<std::string> Titles(const std::vector<TColEntry>& entries) {
  std::vector<std::string> titles;
  for (const TColEntry& e : entries)
    titles.push_back(e.title);
  return titles;
}

TEST(ColumnEntriesTest, MovesWithinTheList) {
  std::vector<TColEntry> entries = {Entry("a"), Entry("b"), Entry("c")};
  EXPECT_EQ(MoveEntry(entries, 0, -1), 0);
  EXPECT_EQ(MoveEntry(entries, 2, 1), 2);
  EXPECT_EQ(MoveEntry(entries, -1, 1), -1);
  EXPECT_EQ(Titles(entries), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(MoveEntry(entries, 2, -1), 1);
  EXPECT_EQ(MoveEntry(entries, 0, 1), 1);
  EXPECT_EQ(Titles(entries), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(ColumnEntriesTest, ReadsSubExpressionNumbers) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"$0", 0}, {"$12", 12}, {"$123", 123}, {"$1234", 123}, {"$-1", -1},
      {"$", -1}, {"", -1},    {"$1x", -1},   {"$ 1", -1},
  };
  for (const auto& [value, n] : cases)
    EXPECT_EQ(SubExpressionNumber(value), n) << value;
  EXPECT_EQ(SubExpressionValue(-1), "$-1");
}

TEST(ColumnEntriesTest, ClearsOnlyReferencesToTheFormerTable) {
  std::vector<TColEntry> entries = {Entry("old", 4), Entry("other", 9), Entry("none"),
                                    Entry("record", 5, kColStartRecordTag)};
  ClearFieldReferences(entries, {4, 5});
  EXPECT_EQ(entries[0].fid, 0);
  EXPECT_EQ(entries[0].field_title, "");
  EXPECT_EQ(entries[1].fid, 9);
  EXPECT_EQ(entries[1].field_title, "field 9");
  EXPECT_EQ(entries[3].fid, 0);
  EXPECT_EQ(FieldDisplayName(entries[3]), "[Start/Record Tag]");
  EXPECT_TRUE(HasRecordTagEntry(entries));
  entries.pop_back();
  EXPECT_FALSE(HasRecordTagEntry(entries));
}

TEST(ColumnChecksTest, RefusesAsEachDialogSays) {
  struct Case {
    ColumnForm form;
    std::string text_tag;  // the text-tag dialog's message, empty: taken
    std::string regexpr;   // the expression dialog's message
  };
  const std::string all = "You cann't let all be empty.";
  const std::string pair = "Open/close tag is a pair, should be both empty or not empty.";
  const std::vector<Case> cases = {
      {{kColStartRecordTag, "", "", "", -1}, all, all},
      {{kColStartRecordTag, "start", "", "", -1}, "", ""},
      {{kColStartRecordTag, "", "<tr>", "", -1}, pair, pair},
      {{kColStartRecordTag, "", "", "</tr>", -1}, pair, pair},
      {{kColStartRecordTag, "", "<tr>", "</tr>", -1}, "", ""},
      {{kColFieldValue, "t", "", "", -1}, "", ""},
      {{kColFieldValue, "", "", "", 2},
       "Column title cann't be empty.",
       "Cann't let column title be empty."},
      {{kColNormal, "t", "", "</b>", 1}, "Open tag cann't be empty.", ""},
      {{kColImage, "t", "<b>", "", -1},
       "Close tag cann't be empty. ",
       "The column need a expression as data source."},
      {{kColNormal, " ", " ", " ", 0}, "", ""},
  };
  for (const Case& c : cases) {
    const auto text_tag = CheckTextTagColumn(c.form);
    const auto regexpr = CheckRegExprColumn(c.form);
    EXPECT_EQ(text_tag ? text_tag->message : "", c.text_tag) << c.form.kind << c.form.title;
    EXPECT_EQ(regexpr ? regexpr->message : "", c.regexpr) << c.form.kind << c.form.title;
  }
  // The pair message names the empty one of the two tags.
  EXPECT_EQ(CheckTextTagColumn({kColStartRecordTag, "", "<tr>", "", -1})->focus,
            ColumnInput::kCloseTag);
  EXPECT_EQ(CheckTextTagColumn({kColStartRecordTag, "", "", "</tr>", -1})->focus,
            ColumnInput::kOpenTag);
}

TEST(TranslationRulesTest, ChecksParametersByRelation) {
  struct Case {
    int rel;
    std::string first;
    std::string second;
    RuleInput refused;
  };
  const std::vector<Case> cases = {
      {kRelEqual, "", "new", RuleInput::kNone},    {kRelEqual, "", "", RuleInput::kFirst},
      {kRelNotInclude, "x", "", RuleInput::kNone}, {kRelConcat, "", "", RuleInput::kFirst},
      {kRelReplace, "a", "", RuleInput::kNone},    {kRelReplace, "", "b", RuleInput::kFirst},
      {kRelSubstr, "", "2", RuleInput::kFirst},    {kRelDelete, "1", "", RuleInput::kSecond},
      {kRelSubstr, "1", "2", RuleInput::kNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckRule(c.rel, c.first, c.second), c.refused) << c.rel;
  EXPECT_STREQ(RelationOf(4).list_text, "Substr(@, I, L)");
  EXPECT_STREQ(RelationOf(4).choice, "SubStr(@, I, L)");
}

TEST(TranslationRulesTest, ReplacesTheStoredRules) {
  test::StoreFixture f;
  const int tmid = f.AddTemplet("t");
  const int cid = f.AddColumn(tmid, "c", 0, 0);
  const int other = f.AddColumn(tmid, "d", 0, 1);
  SaveRules(f.Store(), other, {{other, kRelEqual, "keep", "me"}});
  const std::vector<TTrans> rules = {{cid, kRelReplace, "it's", ""}, {cid, kRelSubstr, "2", "3"}};
  SaveRules(f.Store(), cid, rules);
  const std::vector<TTrans> read = LoadRules(f.Store(), cid);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].SrcVal, "it's");
  EXPECT_EQ(read[1].Rel, kRelSubstr);
  EXPECT_EQ(f.Scalar("select istr from cols where cid=" + std::to_string(cid)), 1);

  // An empty list deletes every rule of the column and still marks it as translated.
  SaveRules(f.Store(), cid, {});
  EXPECT_TRUE(LoadRules(f.Store(), cid).empty());
  EXPECT_EQ(f.Scalar("select istr from cols where cid=" + std::to_string(cid)), 1);
  EXPECT_EQ(LoadRules(f.Store(), other).size(), 1u);
  EXPECT_EQ(SaveRulesStatements(7, {{7, 5, "a'b", "c"}}),
            (std::vector<std::string>{"delete from vtrs where cid=7",
                                      "insert into vtrs(cid,rel,srv,dtv) values(7,5,'a''b','c')",
                                      "update cols set istr=1 where cid=7"}));
}

TEST(PickItemsTest, ListsTablesAndTheirFields) {
  test::StoreFixture f;
  std::vector<int> fids;
  const int taid = f.AddTable("Books", 2, fids);
  const std::vector<PickItem> tables = LoadTableItems(f.Store());
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].title, "Books");
  EXPECT_EQ(tables[0].id, taid);
  const std::vector<PickItem> fields = LoadFieldItems(f.Store(), taid);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[1].title, "F2");
  EXPECT_EQ(fields[1].id, fids[1]);
  EXPECT_TRUE(LoadFieldItems(f.Store(), 0).empty());
}

}  // namespace
}  // namespace sorvane

// The templet editor's logic over a real store: the checks on OK, the URL preview, the stored file
// lines, and the save that removes what a former method left.

#include "authoring/templetform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/storeerror.h"
#include "engine/regexpr.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

TempletForm UrlForm(const std::string& url) {
  TempletForm form;
  form.name = "t";
  form.url = url;
  form.text_tag_columns = 1;
  return form;
}

TEST(TempletFormTest, ChecksInOrder) {
  struct Case {
    const char* name;
    TempletForm form;
    std::vector<std::string> messages;
  };
  TempletForm empty_name = UrlForm("ftp://x");
  empty_name.name.clear();
  TempletForm blank_name = UrlForm("http://x");
  blank_name.name = "  ";
  TempletForm no_columns = UrlForm("http://x");
  no_columns.text_tag_columns = 0;
  TempletForm no_expression = UrlForm("http://x");
  no_expression.is_text_tag = false;
  no_expression.regexpr_columns = 2;
  TempletForm no_regexpr_columns = UrlForm("http://x");
  no_regexpr_columns.is_text_tag = false;
  no_regexpr_columns.expression = "(a)";
  TempletForm stops = UrlForm("http://x<AUTOINC:1,2/><AUTOINC:1,2/>");
  stops.text_tag_columns = 0;
  TempletForm files = UrlForm("<AUTOINC:1,2/><autoinc:x/>");
  files.is_url = false;
  const std::string scheme = "The URL should start with http:// or https://";
  const std::vector<Case> cases = {
      {"an empty name stops the checks", empty_name, {"Please input the templet name."}},
      {"a name of blanks passes", blank_name, {}},
      {"upper-case scheme passes", UrlForm("HTTP://x"), {}},
      {"https passes", UrlForm("hTTps://x"), {}},
      {"the scheme check goes on",
       UrlForm("ftp://x<AUTOINC:1,2/><AUTOINC:3,4/>"),
       {scheme, "Only one AUTOINC tag allowed."}},
      {"lower-case tags count",
       UrlForm("http://x<field:t1,f2/><FIELD:T1,F3/>"),
       {"Only one FIELD tag allowed."}},
      {"a tag check stops the checks", stops, {"Only one AUTOINC tag allowed."}},
      {"the hidden URL is examined in file mode", files, {"Only one AUTOINC tag allowed."}},
      {"text tags need columns", no_columns, {"Column undefined."}},
      {"an expression is needed",
       no_expression,
       {"Regular expression is empty or column undefined."}},
      {"expression columns are needed",
       no_regexpr_columns,
       {"Regular expression is empty or column undefined."}},
  };
  RegExpr re;
  for (const Case& c : cases) {
    std::vector<std::string> messages;
    for (const FormRefusal& refusal : CheckTempletForm(re, c.form))
      messages.push_back(refusal.message);
    EXPECT_EQ(messages, c.messages) << c.name;
  }
  EXPECT_EQ(CheckTempletForm(re, empty_name).front().focus, FormFocus::kName);
  EXPECT_EQ(CheckTempletForm(re, UrlForm("ftp://x")).front().focus, FormFocus::kUrl);
}

TEST(TempletFormTest, PreviewFillsUpperCaseTags) {
  test::StoreFixture f;
  std::vector<int> fids;
  const int full = f.AddTable("full", 1, fids);
  f.AddRecords(full, fids, 2);
  std::vector<int> empty_fids;
  const int empty = f.AddTable("empty", 1, empty_fids);
  const std::string tag = "<FIELD:T" + std::to_string(full) + ",F" + std::to_string(fids[0]) + "/>";
  const std::string empty_tag =
      "<FIELD:T" + std::to_string(empty) + ",F" + std::to_string(empty_fids[0]) + "/>";
  struct Case {
    std::string url;
    std::string preview;
  };
  const std::vector<Case> cases = {
      {"http://h/?p=<AUTOINC:5,9/>", "http://h/?p=1"},
      {"http://h/?p=<autoinc:5,9/>", "http://h/?p=<autoinc:5,9/>"},
      {"http://h/<AUTOINC:Next/>/<AUTOINC:1,2/>", "http://h/1/1"},
      {"http://h/?q=" + tag + "&r=" + tag, "http://h/?q=a-1&r=a-1"},
      {"http://h/?q=" + empty_tag, "http://h/?q=" + empty_tag},
  };
  RegExpr re;
  for (const Case& c : cases)
    EXPECT_EQ(UrlPreview(f.Store(), re, c.url), c.preview) << c.url;
  EXPECT_THROW(UrlPreview(f.Store(), re, "http://h/<FIELD:T99,F1/>"), StoreError);
}

TEST(TempletFormTest, StoresFileLinesHoldingText) {
  EXPECT_EQ(StoredFileLines({"", " /a b.txt ", "\t\r", "c.html", "   "}),
            (std::vector<std::string>{" /a b.txt ", "c.html"}));
}

TEST(TempletFormTest, MethodSwitchRemovesTheFormerColumnsAfterSaving) {
  test::StoreFixture f;
  TempletModel model;
  model.name = "switch";
  model.is_text_tag = false;
  model.sources = {"http://h/"};
  model.expression = "(a)";
  model.columns = {{0, "A", "$1", "", 100, 0, kColNormal, false, {}}};
  SaveTemplet(f.Store(), model);
  f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(model.columns[0].cid) +
         ",0,'x','y')");
  f.Exec("insert into vtrs(cid,rel,srv,dtv) values(999,0,'other','column')");

  std::vector<TempletColumn> former = model.columns;
  former.push_back({0, "never stored", "$2", "", 100, 0, kColNormal, false, {}});
  model.is_text_tag = true;
  model.columns = {{0, "T", "<b>", "</b>", 100, 0, kColNormal, false, {}}};
  SaveEditedTemplet(f.Store(), model, former, true);
  EXPECT_TRUE(former.empty());
  EXPECT_EQ(f.Scalar("select count(*) from cols"), 1);
  EXPECT_EQ(f.Scalar("select count(*) from cols where tit='T'"), 1);
  EXPECT_EQ(f.Scalar("select count(*) from vtrs"), 1) << "only the former column's rules go";
  EXPECT_EQ(f.Scalar("select count(*) from exps"), 0);
  EXPECT_EQ(f.Scalar("select tag from tmps"), 1);

  // Without a switch nothing else is touched, and a switch to the expression keeps no text-tag
  // rows either but writes the expression.
  former = model.columns;
  model.is_text_tag = false;
  model.columns = {{0, "E", "$1", "", 100, 0, kColNormal, false, {}}};
  SaveEditedTemplet(f.Store(), model, former, true);
  EXPECT_EQ(f.Scalar("select count(*) from cols"), 1);
  EXPECT_EQ(f.Scalar("select count(*) from exps"), 1);
}

}  // namespace
}  // namespace sorvane

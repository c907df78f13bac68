// Display options over a real store: the statements of a save, the rows they leave, refusals
// that leave the store untouched, and a save that fails half-way.

#include "core/options.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/programfolder.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

struct StoredRow {
  int tmid;
  int oid;
  std::string val;
  bool operator==(const StoredRow&) const = default;
};

std::vector<StoredRow> AllOptionRows(Tdm& store) {
  std::vector<StoredRow> rows;
  store.qryN.Open("select tmid,oid,val from opts order by tmid,oid");
  for (; !store.qryN.Eof(); store.qryN.Next()) {
    rows.push_back({store.qryN.AsInt(0), store.qryN.AsInt(1), store.qryN.AsString(2)});
  }
  return rows;
}

TempletOptions Defaults() {
  return {"20", "Arial", 8, "20", DefaultImageFolder()};
}

TEST(Options, DefaultImageFolderLiesInTheProgramFolder) {
  EXPECT_EQ(DefaultImageFolder(), ProgramFolder() + "image/");
}

// A program folder nobody can create a file in (/proc, even for root; a missing one) sends
// default writes to the user's data folder, which is made; a writable one keeps them.
TEST(Options, DataFolderIsTheProgramFolderOnlyWhenItIsWritable) {
  const test::TempDir dir;
  const std::string tmp = dir.Path().string() + "/";
  struct Case {
    std::string program;
    const char* xdg;   // null: unset
    const char* home;  // null: unset
    std::string expected;
  };
  const std::vector<Case> cases = {
      {tmp, "/nonexistent", "/nonexistent", tmp},
      {"/proc/", "DIR/xdg", "/nonexistent", tmp + "xdg/sorvane/"},
      {tmp + "missing/", "DIR/xdg", nullptr, tmp + "xdg/sorvane/"},
      {"/proc/", "relative/path", "DIR/home", tmp + "home/.local/share/sorvane/"},
      {"/proc/", nullptr, "DIR/home", tmp + "home/.local/share/sorvane/"},
      {"/proc/", nullptr, nullptr, "/proc/"},
  };
  const auto set = [&tmp](const char* name, const char* value) {
    if (value == nullptr) {
      unsetenv(name);
      return;
    }
    std::string text = value;
    if (text.rfind("DIR/", 0) == 0) text = tmp + text.substr(4);
    setenv(name, text.c_str(), 1);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " " + (c.xdg ? c.xdg : "-") + " " + (c.home ? c.home : "-"));
    set("XDG_DATA_HOME", c.xdg);
    set("HOME", c.home);
    EXPECT_EQ(DataFolderFor(c.program), c.expected);
    EXPECT_TRUE(std::filesystem::is_directory(c.expected));
  }
  // The probe leaves nothing behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp), {}), 2);
}

TEST(Options, SaveStatementsEmbedDigitsBareAndTextsQuoted) {
  struct Case {
    const char* name;
    int id;
    TempletOptions options;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"defaults",
       7,
       {"20", "Arial", 8, "20", "/opt/prog/image/"},
       {"delete from opts where tmid=7", "insert into opts values(7, 1, 20)",
        "insert into opts values(7, 2, 'Arial')", "insert into opts values(7, 3, 8)",
        "insert into opts values(7, 4, 20)", "insert into opts values(7, 5, '/opt/prog/image/')"}},
      {"quotes doubled, zero records per page",
       12,
       {"35", "O'Neil Sans", 14, "0", "/home/o'neil/img/"},
       {"delete from opts where tmid=12", "insert into opts values(12, 1, 35)",
        "insert into opts values(12, 2, 'O''Neil Sans')", "insert into opts values(12, 3, 14)",
        "insert into opts values(12, 4, 0)",
        "insert into opts values(12, 5, '/home/o''neil/img/')"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SaveOptionsStatements(c.id, c.options), c.statements) << c.name;
  }
}

TEST(Options, SaveOfTheDefaultsStoresExactlyFiveRowsAndReadsBack) {
  test::TempDir dir;
  Tdm store(dir.File("data.mdb"));
  const std::string folder = DefaultImageFolder();
  ASSERT_EQ(SaveOptions(store, 3, Defaults()), OptionsCheck::kOk);

  const std::vector<StoredRow> expected = {
      {0, 1, "0"}, {3, 1, "20"}, {3, 2, "Arial"}, {3, 3, "8"}, {3, 4, "20"}, {3, 5, folder},
  };
  EXPECT_EQ(AllOptionRows(store), expected);
  const std::vector<OptionRow> read = ReadOptions(store, 3);
  const std::vector<OptionRow> rows = {{1, "20"}, {2, "Arial"}, {3, "8"}, {4, "20"}, {5, folder}};
  EXPECT_EQ(read, rows);
  EXPECT_TRUE(ReadOptions(store, 4).empty());
  // The image counter (0, 1) is no option set and never reads as one.
  EXPECT_TRUE(ReadOptions(store, 0).empty());
}

TEST(Options, FetchOptionsAreStoredOnlyWhenChangedAndReadBackWithinTheirRanges) {
  test::TempDir dir;
  Tdm store(dir.File("data.mdb"));
  FetchOptions fetch;
  fetch.in_flight = 40;  // saved as the upper bound
  fetch.retries = 3;
  ASSERT_EQ(SaveOptions(store, 3, Defaults(), fetch), OptionsCheck::kOk);
  const std::vector<OptionRow> rows = ReadOptions(store, 3);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[5], (OptionRow{kOptRequestsInFlight, "16"}));
  EXPECT_EQ(rows[6], (OptionRow{kOptPageRetries, "3"}));
  EXPECT_EQ(FetchOptionsOf(rows), (FetchOptions{16, 0, 3}));
  // Back to the defaults: the five display rows only.
  ASSERT_EQ(SaveOptions(store, 3, Defaults(), FetchOptions{}), OptionsCheck::kOk);
  EXPECT_EQ(ReadOptions(store, 3).size(), 5u);

  struct Case {
    std::vector<OptionRow> rows;
    FetchOptions read;
  };
  const Case cases[] = {
      {{}, {1, 0, 0}},
      {{{9, "8"}, {10, "250"}, {11, "5"}}, {8, 250, 5}},
      {{{9, "0"}, {10, "-3"}, {11, "9"}}, {1, 0, 5}},
      {{{9, "99999999999999"}, {10, "x"}, {11, ""}}, {1, 0, 0}},
      {{{9, "17"}, {10, "700000"}, {1, "4"}}, {16, 600000, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FetchOptionsOf(c.rows), c.read) << c.rows.size() << " rows";
  }
}

TEST(Options, SaveReplacesTheTempletsRowsAndLeavesOthersAlone) {
  test::TempDir dir;
  Tdm store(dir.File("data.mdb"));
  store.qryM.Execute("insert into opts values(5, 1, 99)");
  store.qryM.Execute("insert into opts values(5, 9, 'stray')");
  store.qryM.Execute("insert into opts values(6, 1, 44)");
  store.qryM.Execute("update opts set val=val+1 where tmid=0 and oid=1");

  ASSERT_EQ(SaveOptions(store, 5, {"35", "Courier", 11, "0", "/tmp/data/"}), OptionsCheck::kOk);
  const std::vector<StoredRow> expected = {
      {0, 1, "1"}, {5, 1, "35"},         {5, 2, "Courier"}, {5, 3, "11"},
      {5, 4, "0"}, {5, 5, "/tmp/data/"}, {6, 1, "44"},
  };
  EXPECT_EQ(AllOptionRows(store), expected);
}

TEST(Options, PageSettingsSurviveASaveOfTheDisplayOptions) {
  test::TempDir dir;
  Tdm store(dir.File("data.mdb"));
  EXPECT_EQ(ReadPageSettings(store, 5), PageSettings{});  // no rows: everything off
  SavePageSettings(store, 5, {true, false, true});
  SavePageSettings(store, 0, {true, true, true});  // templet 0 owns no settings
  EXPECT_EQ(ReadPageSettings(store, 5), (PageSettings{true, false, true}));
  ASSERT_EQ(SaveOptions(store, 5, {"35", "Courier", 11, "0", "/tmp/data/"}), OptionsCheck::kOk);
  EXPECT_EQ(ReadPageSettings(store, 5), (PageSettings{true, false, true}));
  EXPECT_EQ(ReadOptions(store, 5).size(), 8u);
  SavePageSettings(store, 5, {false, true, false});
  EXPECT_EQ(ReadPageSettings(store, 5), (PageSettings{false, true, false}));
  EXPECT_EQ(ReadOptions(store, 5).size(), 8u);
  EXPECT_EQ(AllOptionRows(store).size(), 9u);  // the image counter besides
}

TEST(Options, RefusedSavesWriteNothingAndTheImageCounterSurvives) {
  struct Case {
    const char* name;
    int id;
    TempletOptions options;
    OptionsCheck check;
  };
  const Case cases[] = {
      {"templet 0 holds the image counter", 0, Defaults(), OptionsCheck::kNoTemplet},
      {"negative id", -1, Defaults(), OptionsCheck::kNoTemplet},
      {"empty row height", 2, {"", "Arial", 8, "20", "/i/"}, OptionsCheck::kRowHeightNotDigits},
      {"row height with letters",
       2,
       {"2a", "Arial", 8, "20", "/i/"},
       OptionsCheck::kRowHeightNotDigits},
      {"row height smuggling a statement",
       2,
       {"1), (0, 1, 5", "Arial", 8, "20", "/i/"},
       OptionsCheck::kRowHeightNotDigits},
      {"negative row height",
       2,
       {"-5", "Arial", 8, "20", "/i/"},
       OptionsCheck::kRowHeightNotDigits},
      {"empty records per page",
       2,
       {"20", "Arial", 8, "", "/i/"},
       OptionsCheck::kRecordsPerPageNotDigits},
      {"records per page with blanks",
       2,
       {"20", "Arial", 8, " 1", "/i/"},
       OptionsCheck::kRecordsPerPageNotDigits},
      {"both empty: the row height is named",
       2,
       {"", "Arial", 8, "", "/i/"},
       OptionsCheck::kRowHeightNotDigits},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    Tdm store(dir.File("data.mdb"));
    store.qryM.Execute("insert into opts values(2, 1, 30)");
    const std::vector<StoredRow> before = AllOptionRows(store);

    EXPECT_EQ(CheckOptions(c.id, c.options), c.check) << c.name;
    EXPECT_EQ(SaveOptions(store, c.id, c.options), c.check) << c.name;
    EXPECT_THROW(SaveOptionsStatements(c.id, c.options), std::invalid_argument) << c.name;
    EXPECT_EQ(AllOptionRows(store), before) << c.name;
  }
}

TEST(Options, FailingStatementStopsTheSaveAndKeepsWhatWasWritten) {
  test::TempDir dir;
  Tdm store(dir.File("data.mdb"));
  store.qryM.Execute("insert into opts values(4, 5, '/old/')");
  // The store rejects the fourth insert, as it rejects any statement it cannot run.
  ASSERT_EQ(sqlite3_exec(store.conn.Handle(),
                         "create trigger no_rpp before insert on opts when new.oid=4 "
                         "begin select raise(abort, 'records per page rejected'); end",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);

  try {
    SaveOptions(store, 4, {"25", "Arial", 9, "10", "/new/"});
    ADD_FAILURE() << "no StoreError";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("records per page rejected"), std::string::npos)
        << e.what();
  }
  const std::vector<StoredRow> expected = {{0, 1, "0"}, {4, 1, "25"}, {4, 2, "Arial"}, {4, 3, "9"}};
  EXPECT_EQ(AllOptionRows(store), expected);
}

}  // namespace
}  // namespace sorvane

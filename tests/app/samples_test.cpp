// Every sample templet of samples/ imported with `sorvane-run --create --import` into a fresh store
// in a folder holding the sample pages (as `scripts/run --demo` makes it), then run there: each
// gives the records its page holds. The templets find their pages relative to the store's
// folder, the folder the program runs in.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"
#include "output/customoutput.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

struct Result {
  int status = -1;
  std::string out;
};

std::string ShellQuoted(const std::string& text) {
  std::string q = "'";
  for (const char c : text)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs sorvane-run with `args` in `folder`.
Result RunIn(const test::TempDir& dir, const std::vector<std::string>& args) {
  std::string command =
      "cd " + ShellQuoted(dir.Path().string()) + " && " + ShellQuoted(SORVANE_RUN);
  for (const std::string& a : args)
    command += " " + ShellQuoted(a);
  command += " >stdout 2>/dev/null </dev/null";
  const int raw = std::system(command.c_str());
  std::ifstream in(dir.File("stdout"), std::ios::binary);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
          std::string(std::istreambuf_iterator<char>(in), {})};
}

TEST(SamplesTest, EverySampleGivesTheRecordsOfItsPages) {
  struct Sample {
    const char* file;
    std::string records;  // CSV rows after the title line
  };
  const std::vector<Sample> samples = {
      {"books.json",
       "\"The Salt Road\",\"Mira Okafor\",\"14.90\"\r\n"
       "\"Winter's Orchard\",\"Jonas Lindqvist\",\"19.50\"\r\n"
       "\"A Short History of Maps\",\"Leila Haddad\",\"24.00\"\r\n"
       "\"Night Ferry\",\"Tomas Brandt\",\"9.99\"\r\n"},
      // A Windows-1251 page, converted: tea, coffee, honey.
      {"pricelist.json",
       "\"\u0427\u0430\u0439\",\"350\",\"\u0440\u0443\u0431.\"\r\n"
       "\"\u041a\u043e\u0444\u0435\",\"520\",\"\u0440\u0443\u0431.\"\r\n"
       "\"\u041c\u0451\u0434\",\"410\",\"\u0440\u0443\u0431.\"\r\n"},
      {"products.json",
       "\"A-101\",\"Desk lamp\",\"24.00\"\r\n\"A-102\",\"Reading lamp\",\"31.50\"\r\n"
       "\"A-103\",\"Floor lamp\",\"89.00\"\r\n\"B-201\",\"Oak shelf\",\"45.00\"\r\n"
       "\"B-202\",\"Wall shelf\",\"22.90\"\r\n\"B-203\",\"Corner shelf\",\"38.00\"\r\n"
       "\"C-301\",\"Cotton rug\",\"59.00\"\r\n\"C-302\",\"Wool rug\",\"120.00\"\r\n"
       "\"C-303\",\"Door mat\",\"14.50\"\r\n"},
      {"stock.json",
       "\"Claw hammer\",\"12\",\"12.50\"\r\n\"Hand saw\",\"sold out\",\"18.00\"\r\n"
       "\"Tape measure\",\"40\",\"4.95\"\r\n"},
      // One page per value of the Cities table the file brings along.
      {"weather.json",
       "\"Lisbon\",\"Monday\",\"Sunny\",\"24\",\"16\"\r\n"
       "\"Lisbon\",\"Tuesday\",\"Partly cloudy\",\"22\",\"15\"\r\n"
       "\"Lisbon\",\"Wednesday\",\"Sunny\",\"25\",\"17\"\r\n"
       "\"Oslo\",\"Monday\",\"Rain\",\"11\",\"6\"\r\n"
       "\"Oslo\",\"Tuesday\",\"Cloudy\",\"12\",\"5\"\r\n"
       "\"Oslo\",\"Wednesday\",\"Showers\",\"10\",\"4\"\r\n"
       "\"Tallinn\",\"Monday\",\"Cloudy\",\"13\",\"7\"\r\n"
       "\"Tallinn\",\"Tuesday\",\"Sunny\",\"15\",\"8\"\r\n"
       "\"Tallinn\",\"Wednesday\",\"Windy\",\"12\",\"6\"\r\n"},
      {"books-sql.json",
       "\"The Salt Road\",\"14.90\"\r\n\"Winter's Orchard\",\"19.50\"\r\n"
       "\"A Short History of Maps\",\"24.00\"\r\n\"Night Ferry\",\"9.99\"\r\n"},
  };
  test::TempDir dir;
  std::filesystem::copy(std::filesystem::path(SORVANE_SAMPLES) / "pages", dir.Path() / "pages");
  std::vector<std::string> ids;
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    const Result imported =
        RunIn(dir, {"--create", "--import", std::string(SORVANE_SAMPLES) + "/" + s.file});
    ASSERT_EQ(imported.status, 0);
    ids.push_back(imported.out.substr(0, imported.out.find('\n')));
    const Result run = RunIn(dir, {ids.back()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(run.out.find("\r\n") + 2), s.records);
  }
  // Every sample file is in the table above.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(SORVANE_SAMPLES))
    files += entry.path().extension() == ".json";
  EXPECT_EQ(files, static_cast<int>(samples.size()));

  // The SQL sample's output pattern names its own columns in this store.
  Tdm store(dir.File("data.mdb"));
  const int sql_id = std::stoi(ids.back());
  const TempletModel model = ReadTemplet(store, sql_id, TempletParts::kColumns);
  EXPECT_EQ(LoadOutputPattern(store, sql_id),
            "insert into books(title, price) values('<CID:" + std::to_string(model.columns[0].cid) +
                "/>', <CID:" + std::to_string(model.columns[1].cid) + "/>);\r\n");
}

}  // namespace
}  // namespace sorvane

#pragma once

// The big page of the whole-run benchmarks: 1,000,000 table rows of five cells (about 125 MB,
// LF line ends), and a store whose one templet "big" cuts it with record tags <tr>..</tr> and
// five text-tag columns.

#include <cstddef>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/store.h"
#include "core/templetmodel.h"

namespace sorvane::bench {

constexpr int kBigPageRecords = 1000000;

// Writes the page to `path`; returns the bytes of all its cells.
inline std::size_t WriteBigPage(const std::string& path) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> price(100, 99999);
  std::ofstream out(path, std::ios::binary);
  std::size_t cells = 0;
  std::string row;
  out << "<html><body><table>\n";
  for (int i = 0; i < kBigPageRecords; ++i) {
    const int p = price(rng);
    const std::string c[5] = {"Item " + std::to_string(i),
                              std::to_string(p / 100) + "." + std::to_string(10 + p % 90),
                              "Category " + std::to_string(i % 37),
                              "In stock, ships in " + std::to_string(i % 9) + " days",
                              "SKU-" + std::to_string(10000000 + i)};
    row = "<tr><td class=\"a\">" + c[0] + "</td>";
    for (int k = 1; k < 5; ++k)
      row += "<td>" + c[k] + "</td>";
    row += "</tr>\n";
    for (const std::string& cell : c)
      cells += cell.size();
    out << row;
  }
  out << "</table></body></html>\n";
  return cells;
}

// The five columns that cut one row's cells.
inline std::vector<TCol> BigPageColumns() {
  std::vector<TCol> cols(5);
  for (std::size_t i = 0; i < cols.size(); ++i) {
    cols[i].ColID = static_cast<int>(i + 1);
    cols[i].OpenTag = i == 0 ? "<td class=\"a\">" : "<td>";
    cols[i].CloseTag = "</td>";
  }
  return cols;
}

// Makes the store at `path` with the templet "big" over the local file `page`.
inline void MakeBigPageStore(const std::string& path, const std::string& page) {
  Tdm store(path);
  store.conn.Execute("insert into tmps(tmid,tmn,typ,tag,taid) values(1,'big',0,1,0)");
  store.conn.Execute("insert into urls(tmid,url) values(1,'" + page + "')");
  store.conn.Execute(
      "insert into cols(tmid,tit,begw,endw,nox,tag) values(1,'','<tr>','</tr>',0,1)");
  const std::vector<TCol> cols = BigPageColumns();
  for (std::size_t i = 0; i < cols.size(); ++i) {
    store.conn.Execute("insert into cols(tmid,tit,begw,endw,nox,tag) values(1,'c" +
                       std::to_string(i) + "','" + cols[i].OpenTag + "','" + cols[i].CloseTag +
                       "'," + std::to_string(i + 1) + ",0)");
  }
}

}  // namespace sorvane::bench

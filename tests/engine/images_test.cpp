// Image capture: file names from the counter and the address, the folder rules, and downloads
// from a real server into real folders.

#include "engine/images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/programfolder.h"
#include "core/store.h"
#include "engine/httpclient.h"
#include "support/httpserver.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

using namespace std::string_literals;
using test::HttpServer;
using test::ReceivedRequest;
using test::Reply;

TEST(ImageExtensionTest, IsThePartFromTheLastPeriod) {
  struct Case {
    std::string address;
    std::string extension;
  };
  const std::vector<Case> cases = {
      {"http://h/a.gif", ".gif"},
      {"http://h/dir.x/a.JPEG", ".JPEG"},
      {"http://h/a.gif?size=2", ".gif?size=2"},
      {"pic.tar.gz", ".gz"},
      {"http://h/a.", "."},
      // Nothing that names another folder or a drive after the period.
      {"http://www.h.com/path/pic", ""},
      {"http://h/a.b/c", ""},
      {"a.b\\c", ""},
      {"a.b:c", ""},
      {"http://h/a", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ImageExtension(c.address), c.extension) << c.address;
}

class ImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.On("/img/*", [](const ReceivedRequest& r) {
      Reply reply = Reply::Text("bytes of " + r.path + "\0\xFF"s);
      reply.content_type = "image/gif";
      return reply;
    });
    templet.ID = 41;
    templet.ImgDir = images.Path().string() + "/";
  }
  std::string Counter() {
    store.qryM.Open("select val from opts where tmid=0 and oid=1");
    return store.qryM.Eof() ? "(none)" : store.qryM.AsString(0);
  }
  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  test::TempDir dir;
  test::TempDir images;
  Tdm store{dir.File("data.mdb")};
  HttpServer server;
  HttpClient http;
  const RequestSettings settings;
  TTemplet templet;
};

TEST_F(ImagesTest, TheCounterCountsThroughQryNAndLeavesQryMAlone) {
  store.qryM.Open("select tmid from opts");
  EXPECT_EQ(NextImageNo(store), "1");
  EXPECT_EQ(NextImageNo(store), "2");
  EXPECT_FALSE(store.qryM.Eof());  // the open result of qryM is still there
  EXPECT_EQ(store.qryM.AsInt(0), 0);
  store.qryM.Execute("delete from opts where tmid=0");
  EXPECT_EQ(NextImageNo(store), "");
}

TEST_F(ImagesTest, SavesTheBytesUnderTheNextNumber) {
  const std::string name = DownloadImage(store, http, settings, templet, server.Url("/img/a.gif"));
  EXPECT_EQ(name, "img-1.gif");
  EXPECT_EQ(Read(images.Path() / name), "bytes of /img/a.gif\0\xFF"s);

  // The same address again is a second file; a query string stays in the name.
  EXPECT_EQ(DownloadImage(store, http, settings, templet, server.Url("/img/a.gif")), "img-2.gif");
  EXPECT_EQ(DownloadImage(store, http, settings, templet, server.Url("/img/b.png?s=1")),
            "img-3.png?s=1");
  EXPECT_EQ(Read(images.Path() / "img-3.png?s=1"), "bytes of /img/b.png\0\xFF"s);
  // A file of the same name is replaced.
  store.qryM.Execute("update opts set val='0' where tmid=0 and oid=1");
  EXPECT_EQ(DownloadImage(store, http, settings, templet, server.Url("/img/c.gif")), "img-1.gif");
  EXPECT_EQ(Read(images.Path() / "img-1.gif"), "bytes of /img/c.gif\0\xFF"s);
}

TEST_F(ImagesTest, FailuresLeaveTheCellEmptyAndSpendTheNumber) {
  struct Case {
    const char* name;
    std::string address;
    std::string result;
    std::string counter_after;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"blanks only", " \t\r\n", "", "0", 0},
      {"not found", server.Url("/missing.gif"), "", "1", 1},
      {"refused address", "nohost:/a.gif", "", "2", 1},
      // A zero byte would cut the name short: nothing is written or fetched.
      {"zero byte in the name", server.Url("/img/a.g\0if"s), "", "3", 1},
      // No period after the last slash: the name has no extension.
      {"no extension", server.Url("/img/pic"), "img-4", "4", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadImage(store, http, settings, templet, c.address), c.result) << c.name;
    EXPECT_EQ(Counter(), c.counter_after) << c.name;
    EXPECT_EQ(server.RequestCount(), c.requests) << c.name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(images.Path()), {}), 1);
}

TEST_F(ImagesTest, RelativeAddressesResolveAgainstTheLastPage) {
  server.On("/shop/list.html", [](const ReceivedRequest&) { return Reply::Text("page"); });
  http.GetText(server.Url("/shop/list.html"), settings);
  EXPECT_EQ(DownloadImage(store, http, settings, templet, "../img/x.gif"), "img-1.gif");
  EXPECT_EQ(Read(images.Path() / "img-1.gif"), "bytes of /img/x.gif\0\xFF"s);
}

TEST_F(ImagesTest, FolderRules) {
  // A folder named without its final separator still receives the files inside it.
  templet.ImgDir = images.Path().string();
  EXPECT_EQ(ImageFolder(templet), images.Path().string() + "/");
  EXPECT_EQ(DownloadImage(store, http, settings, templet, server.Url("/img/a.gif")), "img-1.gif");
  EXPECT_TRUE(std::filesystem::exists(images.Path() / "img-1.gif"));

  // A folder that is gone, or none: the templet's own folder beside the program, created once.
  const std::filesystem::path fallback = ProgramFolder() + "img-t987654";
  std::filesystem::remove_all(fallback);
  templet.ID = 987654;
  for (const std::string& folder : {images.File("gone/"), std::string()}) {
    templet.ImgDir = folder;
    const std::string name =
        DownloadImage(store, http, settings, templet, server.Url("/img/b.bmp"));
    EXPECT_EQ(name, "img-" + Counter() + ".bmp") << folder;
    EXPECT_TRUE(std::filesystem::exists(fallback / name)) << folder;
  }
  EXPECT_FALSE(std::filesystem::exists(images.File("gone")));
  std::filesystem::remove_all(fallback);
}

}  // namespace
}  // namespace sorvane

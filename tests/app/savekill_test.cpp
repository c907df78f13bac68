// A saving process killed at random moments: `sorvane-run --save` is started on a copy of one
// store, and once its run has extracted every record it gets SIGKILL after a random delay within
// the time a whole save takes. Afterwards the store must pass its integrity check, the table must
// hold a prefix of the grid's rows (each row wholly or not at all), and every row that a commit
// reported on standard error before the kill covered must be there.
//
// SORVANE_KILL_ROUNDS sets the number of kills (default 50) and SORVANE_KILL_RECORDS the records
// a save writes (default 12,000: a save of a few commits at most); scripts/savekill runs many more
// kills over saves long enough to commit many times.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/ascii.h"
#include "core/store.h"
#include "designer/usertables.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

using Clock = std::chrono::steady_clock;

int EnvNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : fallback;
}

const int kRecords = EnvNumber("SORVANE_KILL_RECORDS", 12000);
constexpr const char* kExtracted = " records extracted.";
constexpr const char* kCommitted = "sorvane-run: committed: ";

// The five values of record r.
std::vector<std::string> Record(int r) {
  const std::string n = std::to_string(r);
  return {"item " + n, "it's #" + n, std::to_string(r % 97) + ".50", "", "note " + n + " x"};
}

// A running sorvane-run whose standard error is read through a pipe.
class Saver {
 public:
  explicit Saver(const std::string& store) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDERR_FILENO);
      close(fds[0]);
      close(fds[1]);
      if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "r", stdin)) _exit(126);
      execl(SORVANE_RUN, SORVANE_RUN, "--store", store.c_str(), "--save", "Items",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    err_ = fds[0];
  }
  ~Saver() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (err_ >= 0) close(err_);
  }

  // Reads standard error until it holds `text` or the process ends; false then.
  bool ReadUntil(const std::string& text) {
    while (err.find(text) == std::string::npos) {
      if (!ReadSome(30000)) return false;
    }
    return true;
  }
  void ReadToEnd() {
    while (ReadSome(30000)) {
    }
  }
  void Kill() {
    kill(pid_, SIGKILL);
    Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

  // The rows the last complete "committed:" line counts, 0 without one.
  int Committed() const {
    int rows = 0;
    for (std::size_t at = err.find(kCommitted); at != std::string::npos;
         at = err.find(kCommitted, at + 1)) {
      const std::size_t end = err.find('\n', at);
      if (end == std::string::npos) break;  // cut off by the kill
      const std::size_t of = err.rfind(" of ", end);
      rows = std::stoi(err.substr(of + 4, end - of - 4));
    }
    return rows;
  }

  // Whether the save's final status ("Done! 12 saved, ...", not the run's "Done! All ...") was
  // written.
  bool SaveEnded() const {
    for (std::size_t at = err.find("Done! "); at != std::string::npos;
         at = err.find("Done! ", at + 1)) {
      if (at + 6 < err.size() && IsAsciiDigit(static_cast<unsigned char>(err[at + 6]))) return true;
    }
    return false;
  }

  std::string err;

 private:
  bool ReadSome(int timeout_ms) {
    pollfd p{err_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(err_, buffer, sizeof buffer);
    if (n <= 0) return false;
    err.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int err_ = -1;
};

class SaveKillTest : public ::testing::Test {
 protected:
  // A store with a local templet "Items" over one file of kRecords records, its five columns
  // mapped to the five fields of an empty table without a unique field.
  void SetUp() override {
    std::string page;
    for (int r = 1; r <= kRecords; ++r) {
      const std::vector<std::string> values = Record(r);
      page += "<tr>";
      for (std::size_t i = 0; i < values.size(); ++i)
        page += "<c" + std::to_string(i) + ">" + values[i] + "</c" + std::to_string(i) + ">";
      page += "</tr>\n";
    }
    Tdm store(base_);
    const int taid = CreateUserTable(store, "Items");
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('Items',0,1," +
                       std::to_string(taid) + ")");
    const std::string tmid = std::to_string(store.qryM.LastIdentity());
    store.qryM.Execute("insert into urls(tmid,url) values(" + tmid + "," +
                       QuotedStr(dir_.Write("items.txt", page)) + ")");
    for (int i = 0; i < 5; ++i) {
      const int fid = AddUserField(store, taid, "F" + std::to_string(i), 1);
      const std::string c = std::to_string(i);
      store.qryM.Execute("insert into cols(tmid,tit,begw,endw,fid,tag,nox) values(" + tmid + ",'c" +
                         c + "','<c" + c + ">','</c" + c + ">'," + std::to_string(fid) + ",0," + c +
                         ")");
    }
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + tmid +
                       ",'','<tr>','</tr>',1,5)");
  }

  // A fresh copy of the store for one save.
  void Fresh() {
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(run_ + suffix);
    std::filesystem::copy_file(base_, run_);
  }

  // Checks the store after a kill; returns the number of rows in the table.
  int Check(int committed, const std::string& err) {
    Tdm store(run_);
    Query& q = store.qryM;
    q.Open("pragma integrity_check");
    EXPECT_EQ(q.AsString(0), "ok");
    int rows = 0;
    for (q.Open("select id,f1,f2,f3,f4,f5 from t1 order by id"); !q.Eof(); q.Next()) {
      ++rows;
      EXPECT_EQ(q.AsInt(0), rows);
      const std::vector<std::string> expected = Record(rows);
      for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(q.IsNull(i + 1)) << "row " << rows;
        EXPECT_EQ(q.AsString(i + 1), expected[static_cast<std::size_t>(i)]) << "row " << rows;
      }
      if (HasFailure()) break;
    }
    EXPECT_GE(rows, committed) << err;
    return rows;
  }

  test::TempDir dir_;
  std::string base_ = dir_.File("base.mdb");
  std::string run_ = dir_.File("run.mdb");
};

TEST_F(SaveKillTest, AKilledSaveLeavesACommittedPrefix) {
  const int rounds = EnvNumber("SORVANE_KILL_ROUNDS", 50);

  // One whole save gives the time the kills are spread over.
  Fresh();
  Clock::duration save_time;
  {
    Saver whole(run_);
    ASSERT_TRUE(whole.ReadUntil(kExtracted)) << whole.err;
    const Clock::time_point start = Clock::now();
    whole.ReadToEnd();
    save_time = Clock::now() - start;
    const int status = whole.Wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << whole.err;
    EXPECT_EQ(whole.Committed(), kRecords);
    EXPECT_EQ(Check(kRecords, whole.err), kRecords);
  }

  std::mt19937 rng(std::random_device{}());
  std::uniform_int_distribution<long long> delay(
      0, std::chrono::duration_cast<std::chrono::microseconds>(save_time).count());
  int inside = 0;   // kills that landed before the save's final status
  int partial = 0;  // kills that left some rows but not all
  for (int round = 0; round < rounds && !HasFailure(); ++round) {
    Fresh();
    Saver saver(run_);
    ASSERT_TRUE(saver.ReadUntil(kExtracted)) << saver.err;
    std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
    saver.Kill();
    saver.ReadToEnd();
    const int rows = Check(saver.Committed(), saver.err);
    if (!saver.SaveEnded()) ++inside;
    if (rows > 0 && rows < kRecords) ++partial;
  }
  // The kills did land inside saves, not only after them.
  if (rounds >= 20) {
    EXPECT_GT(inside, 0);
  }
  std::printf("kills: %d, inside a save: %d, leaving some rows but not all: %d\n", rounds, inside,
              partial);
}

}  // namespace
}  // namespace sorvane

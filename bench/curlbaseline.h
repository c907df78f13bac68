#pragma once

// What the web benchmarks share: timing, the connections a server saw, and the curl command line
// as their baseline.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "support/httpserver.h"

namespace sorvane::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// How many connections the requests since the server's last ClearRequests came over.
inline std::size_t Connections(const test::HttpServer& server) {
  std::set<int> ports;
  for (const auto& r : server.Requests())
    ports.insert(r.remote_port);
  return ports.size();
}

// The best of `runs` runs of `curl -s OPTIONS -K CONFIG_FILE` against `server`, in seconds; each
// must end well and bring `requests` requests, or the benchmark ends. 0 when curl is missing.
// `connections`, when given, gets the connections of the last run.
inline double BestCurlSeconds(test::HttpServer& server, const std::string& options,
                              const std::string& config_file, std::size_t requests, int runs,
                              std::size_t* connections = nullptr) {
  if (std::system("curl --version > /dev/null 2>&1") != 0) return 0;
  const std::string command = "curl -s " + options + " -K '" + config_file + "' > /dev/null 2>&1";
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    server.ClearRequests();
    const auto start = Clock::now();
    const int rc = std::system(command.c_str());
    const double took = Seconds(Clock::now() - start);
    if (rc != 0 || server.RequestCount() != requests) {
      std::fprintf(stderr, "curl failed (%d, %zu requests)\n", rc, server.RequestCount());
      std::exit(1);
    }
    best = std::min(best, took);
    if (connections != nullptr) *connections = Connections(server);
  }
  return best;
}

}  // namespace sorvane::bench

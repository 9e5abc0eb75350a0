// Running a crawl from the command line: the settings the options give, the crawl itself on the
// application's event loop, a progress line on a terminal, and Ctrl-C as a clean stop.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "engine/download.h"
#include "options/options.h"

namespace tq::cli {

struct TSocksArg {
  TSocksVersion Version = svNoSocks;
  std::string Host;
  int Port = 0;
};

// What the crawl options set; unset ones leave the project's settings as they are.
struct TCrawlArgs {
  std::optional<int> Threads, Level, Retries, Timeout;
  std::optional<int> MaxRate;  // requests a second to one server; 0: no limit
  bool Robots = false;         // set: servers' robots.txt refuse links; unset: the project decides
  std::optional<int> Agent;
  std::optional<std::string> AgentString;
  TSocksArg Socks;
  std::optional<std::string> SocksUser;       // a SOCKS 4/4A user id
  std::optional<std::string> User, Password;  // the login for the starting address's server
  TSocksArg FtpSocks;
  bool FtpPassive = false;    // set: passive; unset: the saved options decide
  bool NoRequisites = false;  // set: requisites obey the level limit and folder rules too
  int DispatchIntervalMs = kDefaultDispatchIntervalMs;
  std::optional<TFileModificationCheck> ModificationCheck;
};

// The crawl options of the crawl and resume commands: added to a command line, then resolved
// into Args once parsed.
struct TCrawlOptions {
  TCrawlArgs Args;
  std::string Socks4, Socks4A, Socks5;  // HOST:PORT as typed
  std::string FtpSocks4, FtpSocks4A, FtpSocks5;
  std::string ModificationCheck;  // only-modified, all or not-existing; empty: the project's

  void AddTo(CLI::App& command);
  // Fills in the parsed text options, and a password for --user given without --password (from
  // TARNQUILL_PASSWORD, or asked on the terminal); false (with a message) when one is malformed.
  bool Resolve();
};

// "HOST:PORT" (the host may be a bracketed IPv6 address); false when it is not one.
bool ParseHostPort(const std::string& text, std::string& host, int& port);

void ApplyCrawlArgs(const TCrawlArgs& args, TVornDownload& download, TVornOptions& options);

// Starts (or resumes) the crawl and keeps the event loop running until it is over. The first
// Ctrl-C (or TERM, or HUP) stops it cleanly; a second one ends the program at once. True when it
// ended by itself, false when it was stopped (a working folder that refused a write is said on
// standard error). stopSignal, when given, receives the signal that stopped it (0: none).
// With update, the run is an update of the stored copy.
bool RunCrawl(TVornDownload& download, int* stopSignal = nullptr, bool update = false);

}  // namespace tq::cli

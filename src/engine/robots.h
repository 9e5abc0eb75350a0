// A server's robots.txt: which paths it asks crawlers to leave alone, and the crawl's memory of
// every server's answer.
//
// The rules read the file the way the common crawlers do: the groups whose User-agent names a
// token of the crawl's own User-Agent apply (case-insensitively), the "*" groups only when no
// group names it; within them the longest matching Allow or Disallow pattern decides, Allow on a
// tie. A pattern matches the path from its start; "*" stands for any text and a final "$" ties
// the pattern to the path's end. An empty Disallow refuses nothing.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tq {

class TVornRobotsRules {
 public:
  // Only this much of a file is read; what follows is dropped.
  static constexpr size_t kMaxFileBytes = 512 * 1024;

  struct TRule {
    std::string Pattern;
    bool Allow = false;
  };

  // The rules of text for the crawler sending agent as its User-Agent.
  static TVornRobotsRules Parse(std::string_view text, std::string_view agent);

  // Whether the path (with any query, from its "/") may be fetched.
  bool Allows(std::string_view path) const;
  const std::vector<TRule>& Rules() const { return m_rules; }

 private:
  std::vector<TRule> m_rules;
};

// The body of a successful answer for a robots.txt address; nothing for any other outcome.
using TRobotsFetch = std::function<std::optional<std::string>(const std::string& url)>;

// The robots.txt of every server a crawl asks about, each fetched once. A server without one, or
// whose robots.txt cannot be had, refuses nothing.
//
// Threads: Allows on one thread at a time (the admission run); Reset between crawls.
class TVornRobots {
 public:
  // Forgets every server's answer; agent is the User-Agent the crawl sends.
  void Reset(std::string agent, TRobotsFetch fetch);
  // Whether the server's robots.txt lets the crawl fetch url; an address other than http or
  // https is always allowed.
  bool Allows(const std::string& url);

 private:
  std::mutex m_mutex;
  std::string m_agent;
  TRobotsFetch m_fetch;
  std::unordered_map<std::string, TVornRobotsRules> m_servers;
};

// Fetches a robots.txt over HTTP(S), following redirects, giving up after timeoutSeconds (0:
// after 30 seconds); the body only for a 2xx answer, at most kMaxFileBytes of it.
std::optional<std::string> FetchRobotsTxt(const std::string& url, const std::string& agent,
                                          const std::string& socksProxy, int timeoutSeconds);

}  // namespace tq

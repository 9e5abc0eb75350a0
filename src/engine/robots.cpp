#include "engine/robots.h"

#include <curl/curl.h>

#include <algorithm>

#include "foundation/ansi.h"
#include "foundation/url.h"

namespace tq {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Whether pattern ("*" any text, a final "$" the end) matches path from its start. Greedy with
// one step back to the last "*": linear in practice, never worse than their product.
bool Matches(std::string_view pattern, std::string_view path) {
  const bool anchored = !pattern.empty() && pattern.back() == '$';
  if (anchored) pattern.remove_suffix(1);
  size_t p = 0, t = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (t < path.size()) {
    if (p == pattern.size() && !anchored) return true;
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == path[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The product token of a User-agent line ("Name/1.0 (x)" gives "Name"), lower case.
std::string AgentToken(std::string_view value) {
  const size_t end = value.find_first_of("/ \t");
  return AnsiLowerCase(std::string(value.substr(0, end)));
}

}  // namespace

TVornRobotsRules TVornRobotsRules::Parse(std::string_view text, std::string_view agent) {
  text = text.substr(0, std::min(text.size(), kMaxFileBytes));
  // The words of the crawl's User-Agent ("Name/1.0 (compatible; Other)": name, 1.0, compatible,
  // other); a group names the crawler by one of them.
  std::vector<std::string> ownTokens;
  const std::string lowerAgent = AnsiLowerCase(std::string(agent));
  for (size_t at = 0; at < lowerAgent.size();) {
    const size_t end = std::min(lowerAgent.find_first_of(" /;()\t", at), lowerAgent.size());
    if (end > at) ownTokens.push_back(lowerAgent.substr(at, end - at));
    at = end + 1;
  }
  TVornRobotsRules named, anyone;
  bool groupNamed = false, groupAnyone = false, anyNamed = false;
  bool inAgents = false;  // the last line read was a User-agent line
  std::vector<std::string> lines;
  StreamToLines(lines, text);
  for (const std::string& raw : lines) {
    const std::string_view line = Trim(std::string_view(raw).substr(0, raw.find('#')));
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string key = AnsiLowerCase(std::string(Trim(line.substr(0, colon))));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (key == "user-agent") {
      if (!inAgents) groupNamed = groupAnyone = false;  // a new group starts
      inAgents = true;
      const std::string token = AgentToken(value);
      if (token == "*") {
        groupAnyone = true;
      } else if (std::find(ownTokens.begin(), ownTokens.end(), token) != ownTokens.end()) {
        groupNamed = anyNamed = true;
      }
      continue;
    }
    if (key != "allow" && key != "disallow") continue;  // sitemaps, delays: not rules
    inAgents = false;
    if (value.empty()) continue;  // "Disallow:" alone refuses nothing
    const TRule rule{std::string(value), key == "allow"};
    if (groupNamed) named.m_rules.push_back(rule);
    if (groupAnyone) anyone.m_rules.push_back(rule);
  }
  // A group naming the crawler replaces the general one, even when it sets no rule.
  return anyNamed ? named : anyone;
}

bool TVornRobotsRules::Allows(std::string_view path) const {
  if (path == "/robots.txt") return true;
  const TRule* best = nullptr;
  for (const TRule& rule : m_rules) {
    if (!Matches(rule.Pattern, path)) continue;
    if (best == nullptr || rule.Pattern.size() > best->Pattern.size() ||
        (rule.Pattern.size() == best->Pattern.size() && rule.Allow)) {
      best = &rule;
    }
  }
  return best == nullptr || best->Allow;
}

void TVornRobots::Reset(std::string agent, TRobotsFetch fetch) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_agent = std::move(agent);
  m_fetch = std::move(fetch);
  m_servers.clear();
}

bool TVornRobots::Allows(const std::string& url) {
  const TUrlProtocol protocol = GetUrlProtocol(url);
  if (protocol == upFtp || !(AnsiStartsText("http://", url) || AnsiStartsText("https://", url)))
    return true;
  const std::string server = ExtractUrlServer(url);
  std::string path = url.substr(std::min(server.size(), url.size()));
  path = path.substr(0, path.find('#'));
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');

  std::unique_lock<std::mutex> lock(m_mutex);
  auto known = m_servers.find(server);
  if (known == m_servers.end()) {
    const TRobotsFetch fetch = m_fetch;
    const std::string agent = m_agent;
    lock.unlock();
    const std::optional<std::string> text = fetch ? fetch(server + "/robots.txt") : std::nullopt;
    TVornRobotsRules rules = text ? TVornRobotsRules::Parse(*text, agent) : TVornRobotsRules();
    lock.lock();
    known = m_servers.emplace(server, std::move(rules)).first;
  }
  return known->second.Allows(path);
}

namespace {

size_t KeepBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::string*>(user);
  const size_t length = size * count;
  if (body->size() + length > TVornRobotsRules::kMaxFileBytes) {
    body->append(data, TVornRobotsRules::kMaxFileBytes - body->size());
    return 0;  // the rest is not read
  }
  body->append(data, length);
  return length;
}

}  // namespace

std::optional<std::string> FetchRobotsTxt(const std::string& url, const std::string& agent,
                                          const std::string& socksProxy, int timeoutSeconds) {
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return std::nullopt;
  std::string body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT,
                   static_cast<long>(timeoutSeconds > 0 ? timeoutSeconds : 30));
  if (!socksProxy.empty()) curl_easy_setopt(curl, CURLOPT_PROXY, socksProxy.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &KeepBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  const CURLcode rc = curl_easy_perform(curl);
  long code = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
  curl_easy_cleanup(curl);
  const bool whole =
      rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && body.size() >= TVornRobotsRules::kMaxFileBytes);
  if (!whole || code < 200 || code >= 300) return std::nullopt;
  return body;
}

}  // namespace tq

// A fetched document stored the way the crawl stores it: its link joins the Ready list, then its
// content type and content go into the project's document.
#pragma once

#include <memory>
#include <string>

#include "engine/download.h"
#include "engine/download_document.h"

namespace tq::test {

inline void AddReadyDocument(TVornDownload& download, IDownloadDocument& document,
                             const std::string& url, const std::string& type,
                             const std::string& content) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(url);
  link->SetText(url);
  download.ReadyLinks().Add(link);
  document.SetDocumentValue(url, kIndexContentType, type);
  document.SetDocumentContent(url, content);
}

// The same document as a project saved before addresses had one spelling holds it: its index
// section is named by url as written (raw blanks, braces, an upper-case host), and its link
// is rebuilt from that name.
inline void AddReadyUnderOldSpelling(TVornDownload& download, IDownloadDocument& document,
                                     const std::string& url, const std::string& type,
                                     const std::string& content) {
  document.SetDocumentValue(url, kIndexContentType, type);
  document.SetDocumentContent(url, content);
  auto link = std::make_shared<TVornLink>();
  link->SetPage(url);
  link->SetText(url);
  download.ReadyLinks().Add(link);
}

}  // namespace tq::test

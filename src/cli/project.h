// One open project for a command: its document, its controller and the options it crawls by,
// with loading and saving that report failures on standard error.
#pragma once

#include <memory>
#include <string>

#include "engine/download.h"
#include "options/options.h"
#include "storage/document.h"

namespace tq::cli {

// Writes "tarnquill-cli: message" on standard error.
void Fail(const std::string& message);

// A crawl that is neither saved nor templated goes without a document: storing every page in a
// working folder nobody reads would cost a file per page. The controller is released first, so a
// crawl still running stops before the document goes.
struct TProject {
  TVornOptions Options;  // at their constructor values until a command loads them
  std::unique_ptr<TVornDocument> DocumentStore;
  std::unique_ptr<TVornDownload> Download = std::make_unique<TVornDownload>();

  explicit TProject(bool withDocument = true);
  ~TProject();
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  TVornDocument& Document() { return *DocumentStore; }

  // Loads the project file; false (with a message) when it cannot be read or is no project.
  bool Load(const std::string& file);
  // Saves under file; false (with a message) when the save failed and the old file stayed, or
  // when it marked documents that could not be read back as damaged (listed in the message).
  bool Save(const std::string& file);
  // Reads the crawl settings of a template file (name and starting address stay).
  bool ApplyTemplate(const std::string& file);
};

}  // namespace tq::cli

// Crawling into, resuming, listing and reading project files from the command line.
#include "cli/project_commands.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/list_output.h"
#include "engine/crawl_settings.h"
#include "engine/download.h"
#include "storage/document.h"
#include "storage/templates.h"

namespace tq::cli {
namespace {

namespace fs = std::filesystem;

void Fail(const std::string& message) { std::cerr << "tarnquill-cli: " << message << '\n'; }

// One open project: its document, its controller (released first) and the options it crawls by.
// A crawl that is neither saved nor templated goes without a document: storing every page in a
// working folder nobody reads would cost a file per page.
struct TProject {
  TVornOptions Options;
  std::unique_ptr<TVornDocument> DocumentStore;
  std::unique_ptr<TVornDownload> Download = std::make_unique<TVornDownload>();

  explicit TProject(bool withDocument = true) {
    if (!withDocument) return;
    DocumentStore = std::make_unique<TVornDocument>();
    Download->SetVornDocument(DocumentStore.get());
  }
  TVornDocument& Document() { return *DocumentStore; }
  ~TProject() {
    Download.reset();  // stops a crawl still running before the document goes
  }
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  bool Load(const std::string& file) {
    std::optional<TFileError> error;
    Document().OnLoadError = [&](TFileError e) { error = e; };
    const bool loaded = Document().Load(file);
    Document().OnLoadError = nullptr;
    if (loaded && !error) return true;
    Fail(error == feInvalidDoc ? file + " is not a project file"
                               : "cannot read the project file " + file);
    return false;
  }

  bool Save(const std::string& file) {
    Document().SetDocName(file);
    if (Document().Save(false)) return true;
    Fail("could not save the project file " + file + "; the previous file is unchanged");
    return false;
  }

  // Reads the crawl settings of a template file (name and starting address stay).
  bool ApplyTemplate(const std::string& file) {
    const fs::path path = fs::absolute(file);
    TVornTemplates templates;
    templates.SetTemplateFolder(path.parent_path().string() + "/");
    if (templates.IndexOf(path.filename().string()) < 0) {
      Fail(file + " is not a template (.etpl) file");
      return false;
    }
    Document().SetTemplates(&templates);
    Document().ApplyTemplate(path.filename().string());
    Document().SetTemplates(nullptr);
    return true;
  }

  int PrintAndFinish(const TProjectArgs& project) {
    PrintLists(std::cout, *Download, project.OnlyList);
    std::cout.flush();
    if (!std::cout.good()) {
      Fail("could not write the lists");
      return 1;
    }
    return 0;
  }
};

}  // namespace

int CrawlCommand(const std::string& url, const TCrawlArgs& crawl, const TProjectArgs& project) {
  TProject p(!project.ProjectFile.empty() || !project.TemplateFile.empty());
  ApplyNewProjectSettings(p.Download->Settings());
  if (!project.TemplateFile.empty() && !p.ApplyTemplate(project.TemplateFile)) return 1;
  p.Download->General().BaseUrl = url;
  ApplyCrawlArgs(crawl, *p.Download, p.Options);
  RunCrawl(*p.Download);
  const int printed = p.PrintAndFinish(project);
  if (!project.ProjectFile.empty() && !p.Save(project.ProjectFile)) return 1;
  return printed;
}

int ResumeCommand(const TCrawlArgs& crawl, const TProjectArgs& project) {
  TProject p;
  if (!p.Load(project.ProjectFile)) return 1;
  ApplyCrawlArgs(crawl, *p.Download, p.Options);
  RunCrawl(*p.Download);
  const int printed = p.PrintAndFinish(project);
  if (!p.Save(project.ProjectFile)) return 1;
  return printed;
}

int ListCommand(const TProjectArgs& project) {
  TProject p;
  if (!p.Load(project.ProjectFile)) return 1;
  return p.PrintAndFinish(project);
}

int ShowCommand(const TProjectArgs& project, const std::string& url) {
  TProject p;
  if (!p.Load(project.ProjectFile)) return 1;
  if (p.Document().GetDocumentValue(url, kIndexStatus).empty()) {
    Fail(url + " is not in the project");
    return 1;
  }
  if (p.Document().GetDocumentValue(url, kIndexContent).empty()) {
    Fail("no document is stored for " + url);
    return 1;
  }
  const std::string page = RenderStoredDocument(p.Document(), url);
  std::cout.write(page.data(), static_cast<std::streamsize>(page.size()));
  std::cout.flush();
  return std::cout.good() ? 0 : 1;
}

int TemplateCommand(const TProjectArgs& project, const std::string& templateFile) {
  TProject p;
  if (!p.Load(project.ProjectFile)) return 1;
  const fs::path out = fs::absolute(templateFile);
  TVornTemplates templates;
  templates.SetTemplateFolder(out.parent_path().string() + "/");
  p.Document().SetTemplates(&templates);
  if (!p.Document().SaveAsTemplate(out.filename().string())) {
    Fail("could not write the template " + templateFile);
    return 1;
  }
  return 0;
}

}  // namespace tq::cli

// Loading, saving and templating a project for the commands.
#include "cli/project.h"

#include <filesystem>
#include <iostream>
#include <optional>

#include "storage/templates.h"

namespace tq::cli {

namespace fs = std::filesystem;

void Fail(const std::string& message) {
  std::cerr << "tarnquill-cli: " << message << '\n';
}

TProject::TProject(bool withDocument) {
  if (!withDocument) return;
  DocumentStore = std::make_unique<TVornDocument>();
  Download->SetVornDocument(DocumentStore.get());
}

TProject::~TProject() {
  Download.reset();
}

bool TProject::Load(const std::string& file) {
  std::optional<TFileError> error;
  Document().OnLoadError = [&](TFileError e) { error = e; };
  const bool loaded = Document().Load(file);
  Document().OnLoadError = nullptr;
  if (loaded && !error) return true;
  Fail(error == feInvalidDoc ? file + " is not a project file"
                             : "cannot read the project file " + file);
  return false;
}

bool TProject::Save(const std::string& file) {
  Document().SetDocName(file);
  if (Document().Save(false)) {
    const std::vector<std::string> damaged = Document().DamagedDocuments();
    if (damaged.empty()) return true;
    Fail(DamagedDocumentsMessage(file, damaged));
    return false;
  }
  Fail("could not save the project file " + file + "; the previous file is unchanged");
  return false;
}

bool TProject::ApplyTemplate(const std::string& file) {
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

}  // namespace tq::cli

// Until the project's offline server exists the window browses nothing offline: the prefix names
// the first port the server would take.
#include "ui/project_server.h"

namespace tq {

struct TProjectServer::TImpl {};

TProjectServer::TProjectServer(TVornDownload&) : m_impl(std::make_unique<TImpl>()) {}

TProjectServer::~TProjectServer() = default;

void TProjectServer::Start() {}

bool TProjectServer::Active() const {
  return false;
}

std::string TProjectServer::ServerPrefix() const {
  return "http://127.0.0.1:80/";
}

}  // namespace tq

// The program's dial-up wiring.
#include "dialup/dial_up_system.h"

#include "platform/power.h"

namespace tq {

TVornDialUpSystem::TVornDialUpSystem(TVornOptions& options)
    : m_service(NewNetworkManagerDialUp()),
      m_dialer(options.InternetDialUp, *m_service, m_clock),
      m_actions(options, m_clock, [] { PowerOffSystem(); }) {}

}  // namespace tq

#include "integration/services.h"

#include <memory>

#include "appconfig/folders.h"
#include "integration/association.h"
#include "integration/statistics.h"
#include "services/registry.h"

namespace integration {

void InstallIntegrationServices() {
  services::Install<services::IAssociation>(std::make_unique<CAssociationService>(GetModuleFolder()));
  InstallBaseServices(GetModuleFolder());
}

}  // namespace integration

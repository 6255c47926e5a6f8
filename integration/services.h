#pragma once
// Installs the services this library provides to the main window (see services/registry.h).
namespace integration {

// The default-viewer service over "AssocKit32.dll" beside the executable.
void InstallIntegrationServices();

}  // namespace integration

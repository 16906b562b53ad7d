// The steps of start-up and shut-down that need the XML engine and the transport: the
// parser probe, the transport component, the configured documents, the extension library.
#pragma once

#include <cstdint>
#include <string>

namespace feedprobe {

// Runs the probe, creates the transport and loads the description file and the three
// stylesheets. On failure the failure text is in the buffer and the result is false.
// step names the step that runs, for the exception report of InitMonitor.
bool LoadTransportAndDocuments(const std::string& config, std::string& step, char* text,
                               int32_t capacity);

// Creates and initialises the transport named by TransportProviderUUID (default: the HTTP
// transport).
bool CreateTransportProvider(const std::string& config);

// Loads the ExtensionDll library and its StartPullhub entry; a missing library or entry
// leaves the extension absent.
void LoadExtension(const std::string& config);

// Shuts the transport down and releases it.
void ReleaseTransport();

}  // namespace feedprobe

// One monitored host: server address, request URLs, login exchange, metric list, sampling.
#pragma once

namespace feedprobe {

// Filled in by the collection engine.
class HostMonitor {};

}  // namespace feedprobe

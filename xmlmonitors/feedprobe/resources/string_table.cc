#include "feedprobe/resources/string_table.h"

namespace feedprobe {

const char* LoadResourceString(int id) {
  switch (id) {
    case kStrConfiguration: return "Configuration";
    case kStrHost: return "Host";
    case kStrDescriptionCaption: return "Component/Counter Description";
    case kStrErrorDetails: return "Error Details";
    case kStrPerformanceDataNotLoaded: return "Performance data could not be loaded";
    case kStrEngineTooOld: return "This monitor requiers MSXML version higher than 2.5.";
    case kStrPerformanceDataRoot: return "Performance Data Root";
    case kStrLoadingPerformanceData: return "Loading performance data...";
    case kStrUnspecifiedError: return "Unspecified error";
    case kStrParserNotCreated: return "MSXML parser instance could not be created.";
    case kStrBadHostName: return "Host name is not specified correctly.";
    case kStrComActionFailure: return "Com action failure.";
    case kStrProcessNotStarted: return "Failed to start process: '%s'";
    default: return "";
  }
}

}  // namespace feedprobe

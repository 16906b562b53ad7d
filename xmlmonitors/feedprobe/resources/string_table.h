// The plug-in's string table: fixed texts shown to users or put into error texts, by number.
#pragma once

namespace feedprobe {

enum ResourceStringId : int {
  kStrConfiguration = 1003,
  kStrHost = 1004,
  kStrDescriptionCaption = 1005,
  kStrErrorDetails = 1007,
  kStrPerformanceDataNotLoaded = 1008,
  kStrEngineTooOld = 1009,
  kStrPerformanceDataRoot = 1020,
  kStrLoadingPerformanceData = 1021,
  kStrUnspecifiedError = 1022,
  kStrParserNotCreated = 1023,
  kStrBadHostName = 1024,
  kStrComActionFailure = 1030,
  kStrProcessNotStarted = 1031,  // one %s: the program
};

// The text of a string; "" for a number the table does not hold. The text lives as long as
// the program.
const char* LoadResourceString(int id);

}  // namespace feedprobe

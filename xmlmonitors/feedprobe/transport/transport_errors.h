// The transport's failure records: one last-error record per thread, destroyed when the
// thread ends, so each thread learns its own latest failure.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "feedprobe/plugin/last_error_record.h"
#include "platform/support/message_catalogue.h"

namespace feedprobe {

// The calling thread's record, or null when it never recorded anything.
LastErrorRecord* ThreadTransportRecord();

// Records a catalogue message with the status for the calling thread; status 0 clears.
void RecordTransportFailure(int32_t status, int32_t number,
                            std::initializer_list<platform::MessageArg> args);
void ClearTransportFailure();

}  // namespace feedprobe

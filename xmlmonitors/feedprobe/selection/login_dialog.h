// The login dialog: a user name and a password for a host, as a login string.
#pragma once

#include "feedprobe/feedprobe.h"

namespace feedprobe {

constexpr int kLoginBufferSize = 1024;

// True when the user confirmed; the buffer (kLoginBufferSize bytes) then holds the login
// string. Cancel, or a dialog that cannot be shown, leaves the buffer as it was.
bool ShowLoginDialog(FeedprobeHostWindow* parent, char* login_buffer);

}  // namespace feedprobe

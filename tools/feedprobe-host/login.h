// Login information from the command line: user name, password (or FEEDPROBE_PASSWORD), port
// and HTTPS choice, or a ready scrambled login string; turned into the plug-in's records.
#pragma once

#include <string>
#include <vector>

#include "feedprobe/feedprobe.h"
#include "options.h"
#include "plugin.h"

namespace fphost {

// The options every subcommand that talks to a server accepts.
std::vector<OptionSpec> LoginOptionSpecs();
extern const char kLoginOptionsHelp[];

struct Login {
  std::string user;
  std::string password;
  std::string port;
  bool https = false;
  std::string encoded;  // --login: a scrambled login string from login-string

  static Login FromArguments(const Arguments& arguments);
  bool empty() const { return user.empty() && password.empty() && port.empty() && !https; }
};

// The monitor properties text: port, useHttps and, for a host name too long for the login
// record, the whole name as LongMachineName.
std::string PropertiesText(const Login& login, const std::string& host);

// The login record of a host; a name longer than its field is cut (PropertiesText holds it).
HostLoginRecord LoginRecord(const Login& login, const std::string& host);

// The scrambled login string for ActivateMeasurement and TestMachine: --login as given, else
// GetUserDataStr's result, else empty (no login information).
std::string EncodedLogin(const Plugin& plugin, const Login& login, const std::string& host);

}  // namespace fphost

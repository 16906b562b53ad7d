#include "login.h"

#include <cstdlib>
#include <cstring>

#include "formats.h"

namespace fphost {
namespace {

void CopyField(char (&field)[129], const std::string& text) {
  size_t length = std::min(text.size(), sizeof(field) - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

const char kLoginOptionsHelp[] =
    "  --user NAME        user name for the server\n"
    "  --password TEXT    password (FEEDPROBE_PASSWORD is read when this is not given)\n"
    "  --port N           port of the server when the host name gives none\n"
    "  --https            talk HTTPS\n"
    "  --login STRING     a scrambled login string from 'feedprobe-host login-string'\n";

std::vector<OptionSpec> LoginOptionSpecs() {
  return {{"--user", true}, {"--password", true}, {"--port", true}, {"--https", false},
          {"--login", true}};
}

Login Login::FromArguments(const Arguments& arguments) {
  Login login;
  login.user = arguments.Value("--user").value_or("");
  if (std::optional<std::string> password = arguments.Value("--password")) {
    login.password = *password;
  } else if (const char* from_environment = std::getenv("FEEDPROBE_PASSWORD")) {
    login.password = from_environment;
  }
  login.port = arguments.Value("--port").value_or("");
  login.https = arguments.Has("--https");
  login.encoded = arguments.Value("--login").value_or("");
  return login;
}

std::string PropertiesText(const Login& login, const std::string& host) {
  std::string text;
  if (host.size() >= sizeof(HostLoginRecord{}.machine_name) - 1) {
    text += "<LongMachineName>" + XmlEscape(host) + "</LongMachineName>";
  }
  if (!login.port.empty()) {
    text += "<prop name=\"port\"><value>" + XmlEscape(login.port) + "</value></prop>";
  }
  if (login.https) text += "<prop name=\"useHttps\"><value>1</value></prop>";
  return text.empty() ? text : "<MonitorProperties>" + text + "</MonitorProperties>";
}

HostLoginRecord LoginRecord(const Login& login, const std::string& host) {
  HostLoginRecord record{};
  CopyField(record.machine_name, host);
  CopyField(record.user_name, login.user);
  CopyField(record.password, login.password);
  return record;
}

std::string EncodedLogin(const Plugin& plugin, const Login& login, const std::string& host) {
  if (!login.encoded.empty()) return login.encoded;
  if (login.empty()) return "";
  HostLoginRecord record = LoginRecord(login, host);
  std::string properties = PropertiesText(login, host);
  PluginText output(plugin);
  plugin.get_user_data_str(&record, properties.c_str(), output.out());
  return output.str();
}

}  // namespace fphost

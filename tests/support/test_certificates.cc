#include "support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace testing_support {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Certificate = std::unique_ptr<X509, CertificateDeleter>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("making test certificates: ") + what);
}

Key MakeKey() {
  Key key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key generation");
  return key;
}

struct Profile {
  std::string common_name;
  std::string alternative_names;  // subjectAltName value, empty for none
  long valid_from = -3600;        // seconds from now
  long valid_until = 30L * 24 * 3600;
  bool authority = false;
  bool client = false;
};

void AddExtension(X509* certificate, X509V3_CTX* context, int nid, const std::string& value) {
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, context, nid, value.c_str());
  Check(extension != nullptr, "extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// Signed by the issuer, or by its own key when issuer is null.
Certificate MakeCertificate(const Profile& profile, EVP_PKEY* key, X509* issuer,
                            EVP_PKEY* issuer_key) {
  static std::atomic<long> serial{1};
  Certificate certificate(X509_new());
  Check(certificate != nullptr, "certificate");
  X509* cert = certificate.get();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert), profile.valid_from);
  X509_gmtime_adj(X509_getm_notAfter(cert), profile.valid_until);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("feedprobe tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(profile.common_name.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : name);

  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer != nullptr ? issuer : cert, cert, nullptr, nullptr, 0);
  AddExtension(cert, &context, NID_subject_key_identifier, "hash");
  if (issuer != nullptr) AddExtension(cert, &context, NID_authority_key_identifier, "keyid:always");
  if (profile.authority) {
    AddExtension(cert, &context, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, &context, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert, &context, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert, &context, NID_ext_key_usage, profile.client ? "clientAuth" : "serverAuth");
  }
  if (!profile.alternative_names.empty()) {
    AddExtension(cert, &context, NID_subject_alt_name, profile.alternative_names);
  }
  Check(X509_sign(cert, issuer_key != nullptr ? issuer_key : key, EVP_sha256()) > 0, "signing");
  return certificate;
}

CertificateFiles Save(const std::string& folder, const std::string& name, X509* certificate,
                      EVP_PKEY* key) {
  CertificateFiles files{folder + "/" + name + ".crt", folder + "/" + name + ".key"};
  std::unique_ptr<FILE, FileCloser> out(fopen(files.certificate.c_str(), "w"));
  Check(out != nullptr && PEM_write_X509(out.get(), certificate) == 1, "writing a certificate");
  out.reset(fopen(files.key.c_str(), "w"));
  Check(out != nullptr &&
            PEM_write_PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "writing a key");
  return files;
}

}  // namespace

TestCertificates::TestCertificates() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "feedprobe-certificates-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "temporary folder");
  folder_ = pattern;

  const std::string kRightNames = "IP:127.0.0.1,DNS:localhost";
  Key authority_key = MakeKey();
  Certificate authority = MakeCertificate({.common_name = "feedprobe test authority",
                                           .valid_until = 365L * 24 * 3600,
                                           .authority = true},
                                          authority_key.get(), nullptr, nullptr);
  authority_ = Save(folder_, "authority", authority.get(), authority_key.get());

  auto issue = [&](const std::string& file, const Profile& profile, bool self_signed) {
    Key key = MakeKey();
    Certificate certificate =
        self_signed ? MakeCertificate(profile, key.get(), nullptr, nullptr)
                    : MakeCertificate(profile, key.get(), authority.get(), authority_key.get());
    return Save(folder_, file, certificate.get(), key.get());
  };
  server_ = issue("server", {.common_name = "127.0.0.1", .alternative_names = kRightNames}, false);
  self_signed_ =
      issue("self-signed", {.common_name = "127.0.0.1", .alternative_names = kRightNames}, true);
  expired_ = issue("expired",
                   {.common_name = "127.0.0.1",
                    .alternative_names = kRightNames,
                    .valid_from = -2L * 24 * 3600,
                    .valid_until = -24L * 3600},
                   false);
  wrong_name_ =
      issue("wrong-name",
            {.common_name = "wrong.invalid", .alternative_names = "DNS:wrong.invalid"}, false);
  client_ = issue("client", {.common_name = "feedprobe test client", .client = true}, false);

  Key stranger_key = MakeKey();
  Certificate stranger = MakeCertificate({.common_name = "unknown authority", .authority = true},
                                         stranger_key.get(), nullptr, nullptr);
  Key unknown_key = MakeKey();
  Certificate unknown =
      MakeCertificate({.common_name = "127.0.0.1", .alternative_names = kRightNames},
                      unknown_key.get(), stranger.get(), stranger_key.get());
  unknown_authority_ = Save(folder_, "unknown-authority", unknown.get(), unknown_key.get());
  Key untrusted_key = MakeKey();
  Certificate untrusted = MakeCertificate({.common_name = "untrusted client", .client = true},
                                          untrusted_key.get(), stranger.get(), stranger_key.get());
  untrusted_client_ = Save(folder_, "untrusted-client", untrusted.get(), untrusted_key.get());
}

TestCertificates::~TestCertificates() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace testing_support

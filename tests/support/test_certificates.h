// Certificates made at test time in a temporary folder: an authority, server certificates
// signed by it (valid, expired, for a wrong name), a self-signed server certificate and a
// client certificate. Server certificates name 127.0.0.1 and localhost unless said otherwise.
// The folder and its files are removed by the destructor.
#pragma once

#include <string>

namespace testing_support {

// A PEM certificate file and its PEM key file (not encrypted).
struct CertificateFiles {
  std::string certificate;
  std::string key;
};

class TestCertificates {
 public:
  TestCertificates();
  ~TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  const std::string& folder() const { return folder_; }
  // The authority; its certificate file is what a client trusts.
  const CertificateFiles& authority() const { return authority_; }
  const CertificateFiles& server() const { return server_; }
  const CertificateFiles& self_signed() const { return self_signed_; }
  const CertificateFiles& expired() const { return expired_; }
  // Signed by an authority nobody trusts, for the right names.
  const CertificateFiles& unknown_authority() const { return unknown_authority_; }
  // Signed by the authority for "wrong.invalid" only.
  const CertificateFiles& wrong_name() const { return wrong_name_; }
  // A client certificate signed by the authority.
  const CertificateFiles& client() const { return client_; }
  // A client certificate signed by an authority nobody trusts.
  const CertificateFiles& untrusted_client() const { return untrusted_client_; }

 private:
  std::string folder_;
  CertificateFiles authority_, server_, self_signed_, expired_, wrong_name_, client_,
      unknown_authority_, untrusted_client_;
};

}  // namespace testing_support

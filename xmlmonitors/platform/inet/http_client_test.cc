#include "platform/inet/http_client.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/inet/transfer_cancellation.h"
#include "support/test_certificates.h"
#include "support/test_server.h"

namespace platform::inet {
namespace {

using testing_support::TestCertificates;
using testing_support::TestServer;
using testing_support::TlsServerSetup;

class StringSink final : public BodySink {
 public:
  explicit StringSink(int only_status = 0) : only_status_(only_status) {}
  bool Accept(int status_code) override { return only_status_ == 0 || status_code == only_status_; }
  void Write(std::string_view chunk) override { text.append(chunk); }
  std::string text;

 private:
  int only_status_;
};

class HttpClientTest : public ::testing::Test {
 protected:
  std::unique_ptr<Connection> ConnectTo(const TestServer& server, std::string user = "",
                                        std::string password = "") {
    ConnectionSettings settings;
    settings.host = "127.0.0.1";
    settings.port = static_cast<uint16_t>(server.port());
    settings.user_name = std::move(user);
    settings.password = std::move(password);
    return client_.Connect(settings);
  }

  Client client_{"feedprobe tests"};
};

TEST_F(HttpClientTest, GetsAndPostsOverOneKeptAliveConnection) {
  const std::string big(300 * 1024, 'x');
  TestServer server;
  server.Reply("/big", 200, big);
  server.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content("got " + request.body, "application/xml");
  });
  server.Start();
  auto connection = ConnectTo(server);

  for (int i = 0; i < 3; ++i) {
    StringSink sink;
    ResponseStatus status;
    ASSERT_TRUE(connection->Get("/big", sink, &status)) << connection->last_failure().text;
    EXPECT_EQ(status.code, 200);
    EXPECT_EQ(status.text, "OK");
    EXPECT_EQ(sink.text, big);
  }
  std::string answer;
  ResponseStatus status;
  ASSERT_TRUE(
      connection->Post("/echo", "<doc/>", {"Content-Type: application/xml"}, &status, &answer));
  EXPECT_EQ(answer, "got <doc/>");
  ASSERT_TRUE(connection->Post("/echo", "<doc/>", {}, &status, &answer, 5));
  EXPECT_EQ(answer, "got <");

  EXPECT_EQ(server.requests(), 5);
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(server.received()[3].content_type, "application/xml");
}

TEST_F(HttpClientTest, ReportsStatusTextAndLetsTheSinkDropAnErrorBody) {
  TestServer server;
  server.Reply("/missing", 404, "no such page");
  server.Start();
  auto connection = ConnectTo(server);
  StringSink sink(200);
  ResponseStatus status;
  ASSERT_TRUE(connection->Get("/missing", sink, &status));
  EXPECT_EQ(status.code, 404);
  EXPECT_EQ(status.text, "Not Found");
  EXPECT_EQ(sink.text, "");
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kNone);
}

TEST_F(HttpClientTest, AuthenticatesWithBasicAndDigest) {
  struct Case {
    bool digest;
    std::string password;
    int expected_status;
  };
  for (const Case& c : {Case{false, "pa55", 200}, Case{false, "wrong", 401},
                        Case{true, "pa55", 200}, Case{true, "wrong", 401}}) {
    SCOPED_TRACE(std::string(c.digest ? "Digest " : "Basic ") + c.password);
    TestServer server;
    if (c.digest)
      server.RequireDigest("ann", "pa55");
    else
      server.RequireBasic("ann", "pa55");
    server.Reply("/doc", 200, "secret");
    server.Post("/post", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(request.body, "text/plain");
    });
    server.Start();
    auto connection = ConnectTo(server, "ann", c.password);

    StringSink sink;
    ResponseStatus status;
    ASSERT_TRUE(connection->Get("/doc", sink, &status));
    EXPECT_EQ(status.code, c.expected_status);
    if (c.expected_status == 200) {
      EXPECT_EQ(sink.text, "secret");
    }

    std::string answer;
    ASSERT_TRUE(connection->Post("/post", "<body/>", {}, &status, &answer));
    EXPECT_EQ(status.code, c.expected_status);
    if (c.expected_status == 200) {
      EXPECT_EQ(answer, "<body/>");
    }
  }
}

TEST_F(HttpClientTest, FollowsRedirectsAndFailsOnALoop) {
  TestServer server;
  server.Redirect("/old", "/new");
  server.Reply("/new", 200, "moved here");
  server.Redirect("/a", "/b");
  server.Redirect("/b", "/a");
  server.Start();
  auto connection = ConnectTo(server);

  StringSink sink;
  ResponseStatus status;
  ASSERT_TRUE(connection->Get("/old", sink, &status));
  EXPECT_EQ(status.code, 200);
  EXPECT_EQ(sink.text, "moved here");

  EXPECT_FALSE(connection->Get("/a", sink, &status));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kTooManyRedirects);
  EXPECT_LT(server.requests(), 20);
}

TEST_F(HttpClientTest, FailuresHaveReadableTextsWithoutThePassword) {
  int closed_port;
  {
    TestServer gone;
    gone.Start();
    closed_port = gone.port();
  }
  ConnectionSettings settings;
  settings.host = "127.0.0.1";
  settings.port = static_cast<uint16_t>(closed_port);
  settings.user_name = "ann";
  settings.password = "Very-Secret-99";
  auto connection = client_.Connect(settings);
  StringSink sink;
  EXPECT_FALSE(connection->Get("/doc", sink, nullptr));
  const Failure& failure = connection->last_failure();
  EXPECT_EQ(failure.kind, FailureKind::kConnect);
  EXPECT_EQ(failure.text, "Couldn't connect to server");
  EXPECT_EQ(failure.text, ErrorText(failure.code));
  EXPECT_EQ(failure.detail.find("Very-Secret-99"), std::string::npos) << failure.detail;

  TestServer server;
  server.CloseMidBody("/cut", "first half", 100);
  server.Start();
  connection = ConnectTo(server);
  EXPECT_FALSE(connection->Get("/cut", sink, nullptr));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kTransfer);
  EXPECT_EQ(connection->last_failure().text, "Transferred a partial file");
}

TEST_F(HttpClientTest, IgnoresTheProxyOfTheEnvironment) {
  TestServer server;
  server.Reply("/doc", 200, "direct");
  server.Start();
  setenv("http_proxy", "http://127.0.0.1:1", 1);
  setenv("ALL_PROXY", "http://127.0.0.1:1", 1);
  auto connection = ConnectTo(server);
  StringSink sink;
  bool ok = connection->Get("/doc", sink, nullptr);
  unsetenv("http_proxy");
  unsetenv("ALL_PROXY");
  EXPECT_TRUE(ok) << connection->last_failure().detail;
  EXPECT_EQ(sink.text, "direct");
}

TEST_F(HttpClientTest, InactivityEndsAStalledTransfer) {
  TestServer server;
  server.Stall("/stall");
  server.Start();
  ConnectionSettings settings;
  settings.host = "127.0.0.1";
  settings.port = static_cast<uint16_t>(server.port());
  settings.inactivity_timeout = std::chrono::seconds(1);
  auto connection = client_.Connect(settings);
  StringSink sink;
  EXPECT_FALSE(connection->Get("/stall", sink, nullptr));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kTimeout);
  EXPECT_EQ(connection->last_failure().text, "Timeout was reached");
}

TEST_F(HttpClientTest, AnotherThreadAbortsTheStalledTransfersOfOneThreadOnly) {
  TestServer server;
  server.Stall("/stall");
  server.Reply("/doc", 200, "fine");
  server.Start();
  auto connection = ConnectTo(server);
  auto bystander_connection = ConnectTo(server);
  auto token = std::make_shared<TransferCancellationToken>();

  auto transfer = std::async(std::launch::async, [&connection, token]() mutable {
    TransferCancellationScope scope(std::move(token));
    StringSink sink;
    bool ok = connection->Get("/stall", sink, nullptr);
    FailureKind kind = connection->last_failure().kind;
    // Still cancelled: a later transfer of this thread fails at once, without a request.
    bool later_ok = connection->Get("/doc", sink, nullptr);
    CurrentTransferCancellation()->Reset();
    bool after_reset_ok = connection->Get("/doc", sink, nullptr);
    return std::make_tuple(ok, kind, later_ok, after_reset_ok);
  });
  auto bystander = std::async(std::launch::async, [&bystander_connection] {
    StringSink sink;
    ResponseStatus status;
    return bystander_connection->Get("/stall", sink, &status) && status.code == 200;
  });
  ASSERT_TRUE(server.WaitForStalled(2, std::chrono::seconds(10)));
  token->Cancel();
  token.reset();  // only the transferring thread holds it now
  ASSERT_EQ(transfer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  auto [ok, kind, later_ok, after_reset_ok] = transfer.get();
  EXPECT_FALSE(ok);
  EXPECT_EQ(kind, FailureKind::kAborted);
  EXPECT_FALSE(later_ok);
  EXPECT_TRUE(after_reset_ok);
  EXPECT_EQ(server.requests(), 3);

  // The other thread's transfer goes on until the server answers it.
  EXPECT_EQ(bystander.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  server.Release();
  EXPECT_TRUE(bystander.get());
}

TEST_F(HttpClientTest, AbortedTransferFailsAsAborted) {
  auto token = std::make_shared<TransferCancellationToken>();
  token->Cancel();
  TestServer server;
  server.Reply("/doc", 200, "fine");
  server.Start();
  auto connection = ConnectTo(server);
  TransferCancellationScope scope(token);
  StringSink sink;
  EXPECT_FALSE(connection->Get("/doc", sink, nullptr));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kAborted);
  EXPECT_FALSE(connection->last_failure().text.empty());
  EXPECT_EQ(server.requests(), 0);
}

class HttpsClientTest : public HttpClientTest {
 protected:
  std::unique_ptr<Connection> ConnectTls(const TestServer& server) {
    ConnectionSettings settings;
    settings.host = "127.0.0.1";
    settings.port = static_cast<uint16_t>(server.port());
    settings.https = true;
    settings.trusted_authorities_file = certificates_.authority().certificate;
    return client_.Connect(settings);
  }

  TestCertificates certificates_;
};

TEST_F(HttpsClientTest, ClassifiesServerCertificatesAndHonoursTheRetryOptions) {
  enum Options { kStrict, kAcceptUnknownAuthority, kIgnoreInvalid, kBoth };
  struct Case {
    const char* name;
    testing_support::CertificateFiles files;
    Options options;
    FailureKind expected;  // kNone: accepted
  };
  const Case cases[] = {
      {"trusted", certificates_.server(), kStrict, FailureKind::kNone},
      {"self-signed", certificates_.self_signed(), kStrict, FailureKind::kUnknownAuthority},
      {"self-signed", certificates_.self_signed(), kIgnoreInvalid, FailureKind::kUnknownAuthority},
      {"self-signed", certificates_.self_signed(), kAcceptUnknownAuthority, FailureKind::kNone},
      {"unknown authority", certificates_.unknown_authority(), kStrict,
       FailureKind::kUnknownAuthority},
      {"unknown authority", certificates_.unknown_authority(), kAcceptUnknownAuthority,
       FailureKind::kNone},
      {"expired", certificates_.expired(), kStrict, FailureKind::kCertificateDate},
      {"expired", certificates_.expired(), kAcceptUnknownAuthority, FailureKind::kCertificateDate},
      {"expired", certificates_.expired(), kIgnoreInvalid, FailureKind::kNone},
      {"wrong name", certificates_.wrong_name(), kStrict, FailureKind::kCertificateName},
      {"wrong name", certificates_.wrong_name(), kAcceptUnknownAuthority,
       FailureKind::kCertificateName},
      {"wrong name", certificates_.wrong_name(), kIgnoreInvalid, FailureKind::kNone},
      {"expired", certificates_.expired(), kBoth, FailureKind::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " with options " + std::to_string(c.options));
    TestServer server(TlsServerSetup{c.files.certificate, c.files.key, ""});
    server.Reply("/doc", 200, "over tls");
    server.Start();
    auto connection = ConnectTls(server);
    RequestOptions options;
    options.accept_unknown_authority = c.options == kAcceptUnknownAuthority || c.options == kBoth;
    options.ignore_invalid_certificate = c.options == kIgnoreInvalid || c.options == kBoth;
    StringSink sink;
    bool ok = connection->Get("/doc", sink, nullptr, options);
    const Failure& failure = connection->last_failure();
    EXPECT_EQ(failure.kind, c.expected) << failure.text << ": " << failure.detail;
    EXPECT_EQ(ok, c.expected == FailureKind::kNone);
    if (ok) {
      EXPECT_EQ(sink.text, "over tls");
    }
  }
}

TEST_F(HttpsClientTest, AcceptedCertificateDoesNotCarryOverToAStricterRequest) {
  TestServer server(
      TlsServerSetup{certificates_.self_signed().certificate, certificates_.self_signed().key, ""});
  server.Reply("/doc", 200, "over tls");
  server.Start();
  auto connection = ConnectTls(server);
  RequestOptions lenient;
  lenient.accept_unknown_authority = true;
  StringSink sink;
  ASSERT_TRUE(connection->Get("/doc", sink, nullptr, lenient));
  ASSERT_TRUE(connection->Get("/doc", sink, nullptr, lenient));
  EXPECT_EQ(server.connections(), 1);
  EXPECT_FALSE(connection->Get("/doc", sink, nullptr));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kUnknownAuthority);
}

TEST_F(HttpsClientTest, OffersAClientCertificateWhenAsked) {
  TestServer server(TlsServerSetup{certificates_.server().certificate, certificates_.server().key,
                                   certificates_.authority().certificate});
  server.Reply("/doc", 200, "client known");
  server.Start();
  auto connection = ConnectTls(server);
  StringSink sink;

  EXPECT_FALSE(connection->Get("/doc", sink, nullptr));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kClientCertificateNeeded)
      << connection->last_failure().detail;

  RequestOptions options;
  options.client_certificate = {certificates_.untrusted_client().certificate,
                                certificates_.untrusted_client().key};
  EXPECT_FALSE(connection->Get("/doc", sink, nullptr, options));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kTransfer);

  options.client_certificate = {certificates_.folder() + "/none.crt",
                                certificates_.folder() + "/none.key"};
  EXPECT_FALSE(connection->Get("/doc", sink, nullptr, options));
  EXPECT_EQ(connection->last_failure().kind, FailureKind::kClientCertificateUnusable);

  options.client_certificate = {certificates_.client().certificate, certificates_.client().key};
  ASSERT_TRUE(connection->Get("/doc", sink, nullptr, options)) << connection->last_failure().detail;
  EXPECT_EQ(sink.text, "client known");
}

}  // namespace
}  // namespace platform::inet

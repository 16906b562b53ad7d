// The HTTP transport component against real servers on 127.0.0.1.
#include "feedprobe/transport/http_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "feedprobe/transport/com_server.h"
#include "feedprobe/transport/monitor_transport.h"
#include "platform/com/memory_stream.h"
#include "platform/inet/transfer_cancellation.h"
#include "platform/os/paths.h"
#include "platform/support/message_catalogue.h"
#include "support/program_folder.h"
#include "support/test_certificates.h"
#include "support/test_server.h"

namespace feedprobe {
namespace {

using platform::BString;
using platform::ComPtr;
using platform::Variant;
using testing::HasSubstr;
using testing::Not;
using testing_support::TestServer;

class TransportTest : public testing::Test {
 protected:
  void SetUp() override {
    type_ = platform::FileNameOf(platform::ModulePath());
    platform::ProcessCatalogue().AddFile(std::string(FEEDPROBE_STAGE_DIR) +
                                         "/dat/vk_mon_xml_msgs");
    WriteConfig("");
    ASSERT_EQ(CreateHttpTransport(nullptr, IID_IMonitorTransport, transport_.out_void()),
              platform::S_OK);
    ASSERT_EQ(transport_->initialize(0), platform::S_OK);
  }
  void TearDown() override {
    if (transport_) transport_->shutdown(0);
  }
  // The monitor section of this test program's configuration file.
  void WriteConfig(const std::string& keys) {
    folder_.WriteMonitorConfig(type_ + ".ini", "[" + type_ + "]\n" + keys);
  }

  OLE_HANDLE Connect(int port, const std::string& user = "", const std::string& password = "",
                     int32_t flags = mtf_default) {
    OLE_HANDLE handle = 0;
    BString host("127.0.0.1"), user_name(user), secret(password);
    EXPECT_EQ(transport_->connect(host.get(), port, user_name.get(), secret.get(), flags, &handle),
              platform::S_OK);
    return handle;
  }
  // GET into a new stream; the body, or the failure as "E_FAIL".
  std::string Read(OLE_HANDLE handle, const std::string& target, platform::HRESULT* hr = nullptr) {
    ComPtr<platform::IStream> stream = ComPtr<platform::IStream>::Adopt(platform::CreateMemoryStream());
    Variant destination;
    destination.SetUnknown(stream.get());
    BString url(target);
    int32_t bytes = -1;
    platform::HRESULT result = transport_->read(handle, url.get(), destination.get(), &bytes);
    if (hr) *hr = result;
    if (platform::FAILED(result)) return "E_FAIL";
    EXPECT_EQ(static_cast<size_t>(bytes), platform::MemoryStreamContent(stream.get())->size());
    return *platform::MemoryStreamContent(stream.get());
  }
  std::pair<int32_t, std::string> LastError() {
    int32_t code = -1;
    BString message;
    EXPECT_EQ(transport_->getLastError(0, &code, message.out()), platform::S_OK);
    return {code, message.Utf8()};
  }

  testing_support::ProgramFolder folder_;
  std::string type_;
  ComPtr<IMonitorTransport> transport_;
};

TEST_F(TransportTest, ReadsDocumentsOverOneKeptAliveConnection) {
  std::string big(300000, 'x');
  TestServer server;
  server.Reply("/list", 200, "<list/>").Reply("/big", 200, big);
  server.Start();
  OLE_HANDLE handle = Connect(server.port());
  EXPECT_EQ(Read(handle, "/list"), "<list/>");
  EXPECT_EQ(Read(handle, "/big"), big);
  // A null byte count still writes the body.
  ComPtr<platform::IStream> stream = ComPtr<platform::IStream>::Adopt(platform::CreateMemoryStream());
  Variant destination;
  destination.SetUnknown(stream.get());
  BString url("/list");
  EXPECT_EQ(transport_->read(handle, url.get(), destination.get(), nullptr), platform::S_OK);
  EXPECT_EQ(*platform::MemoryStreamContent(stream.get()), "<list/>");
  EXPECT_EQ(LastError(), std::make_pair(0, std::string()));
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(transport_->disconnect(handle), platform::S_OK);
  EXPECT_EQ(transport_->disconnect(handle), platform::S_OK);
}

TEST_F(TransportTest, StatusFailureNamesStatusAndUserButNeverThePassword) {
  TestServer server;
  server.Reply("/gone", 404, "<html>missing</html>");
  server.Start();
  struct Case {
    const char* user;
    const char* expected_user_part;
  } cases[] = {{"admin", "admin:<password>@127.0.0.1"}, {"", "for 127.0.0.1"}};
  for (const Case& c : cases) {
    OLE_HANDLE handle = Connect(server.port(), c.user, "s3cret-pw");
    platform::HRESULT hr = platform::S_OK;
    EXPECT_EQ(Read(handle, "/gone", &hr), "E_FAIL");
    EXPECT_EQ(hr, platform::E_FAIL);
    auto [status, text] = LastError();
    EXPECT_EQ(status, 6);
    EXPECT_THAT(text, HasSubstr("404 Not Found"));
    EXPECT_THAT(text, HasSubstr(c.expected_user_part));
    EXPECT_THAT(text, HasSubstr("/gone"));
    EXPECT_THAT(text, Not(HasSubstr("s3cret-pw")));
    transport_->disconnect(handle);
  }
}

TEST_F(TransportTest, ConnectFailureIsRecordedWithTheHostAndPort) {
  TestServer server;
  server.Start();
  int port = server.port();
  server.Stop();
  OLE_HANDLE handle = Connect(port);
  EXPECT_EQ(Read(handle, "/list"), "E_FAIL");
  auto [status, text] = LastError();
  EXPECT_EQ(status, 6);
  EXPECT_THAT(text, HasSubstr("127.0.0.1:" + std::to_string(port)));
  EXPECT_THAT(text, HasSubstr("Couldn't connect to server"));
}

TEST_F(TransportTest, WritePostsXmlAndRepeatsARefusedPostAsGet) {
  TestServer server;
  server.Post("/control", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("OK", "text/plain");
  });
  server.Post("/get-only", [](const httplib::Request&, httplib::Response& response) {
    response.status = 405;
  });
  server.Get("/get-only", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("got it", "text/plain");
  });
  server.Post("/long", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(5000, 'r'), "text/plain");
  });
  server.Start();
  OLE_HANDLE handle = Connect(server.port());

  auto write = [&](const std::string& target, const std::string& body, std::string* reply) {
    Variant source, response;
    source.SetString(body);
    BString url(target);
    int32_t written = -1;
    platform::HRESULT hr = transport_->write(handle, url.get(), source.get(), response.get(), &written);
    if (platform::SUCCEEDED(hr)) {
      EXPECT_EQ(written, static_cast<int32_t>(body.size()));
      *reply = platform::BstrToUtf8(response.value().bstrVal);
    }
    return hr;
  };
  std::string reply;
  ASSERT_EQ(write("/control", "<login a=\"ä\"/>", &reply), platform::S_OK);
  EXPECT_EQ(reply, "OK");
  ASSERT_EQ(write("/long", "<x/>", &reply), platform::S_OK);
  EXPECT_EQ(reply, std::string(4095, 'r'));
  // Last: the test server leaves a GET body unread on the connection.
  ASSERT_EQ(write("/get-only", "<x/>", &reply), platform::S_OK);
  EXPECT_EQ(reply, "got it");

  std::vector<testing_support::ReceivedRequest> received = server.received();
  ASSERT_GE(received.size(), 3u);
  EXPECT_EQ(received[0].body, "<login a=\"ä\"/>");
  EXPECT_EQ(received[0].content_type, "application/xml");
  EXPECT_EQ(received[2].method, "POST");
  EXPECT_EQ(received[2].body, "<x/>");
  EXPECT_EQ(received[3].method, "GET");
  EXPECT_EQ(received[3].content_type, "application/xml");
  transport_->disconnect(handle);
}

TEST_F(TransportTest, BadArgumentsSendNothing) {
  TestServer server;
  server.Reply("/list", 200, "<list/>");
  server.Start();
  OLE_HANDLE handle = Connect(server.port());
  BString url("/list");
  Variant text, empty, not_a_stream;
  text.SetString("<x/>");
  not_a_stream.SetUnknown(transport_.get());
  EXPECT_EQ(transport_->read(handle, url.get(), nullptr, nullptr), platform::E_POINTER);
  EXPECT_EQ(transport_->read(0, url.get(), empty.get(), nullptr), platform::E_POINTER);
  EXPECT_EQ(transport_->read(handle, url.get(), text.get(), nullptr), platform::E_INVALIDARG);
  EXPECT_EQ(transport_->read(handle, url.get(), not_a_stream.get(), nullptr),
            platform::E_INVALIDARG);
  EXPECT_EQ(transport_->write(handle, url.get(), nullptr, empty.get(), nullptr),
            platform::E_POINTER);
  EXPECT_EQ(transport_->write(0, url.get(), text.get(), empty.get(), nullptr), platform::E_POINTER);
  EXPECT_EQ(transport_->write(handle, url.get(), empty.get(), empty.get(), nullptr),
            platform::E_INVALIDARG);
  BString host("127.0.0.1");
  EXPECT_EQ(transport_->connect(host.get(), server.port(), nullptr, nullptr, 0, nullptr),
            platform::E_POINTER);
  EXPECT_EQ(server.requests(), 0);
}

TEST_F(TransportTest, FailureRecordsArePerThread) {
  TestServer server;
  server.Reply("/ok", 200, "<ok/>").Reply("/missing", 404, "no");
  server.Start();
  std::string fresh_text;
  int32_t fresh_code = -1;
  std::thread([&] { std::tie(fresh_code, fresh_text) = LastError(); }).join();
  EXPECT_EQ(fresh_code, 0);
  EXPECT_EQ(fresh_text, "No registered errors");

  std::vector<std::pair<int32_t, std::string>> seen(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      OLE_HANDLE handle = Connect(server.port());
      for (int round = 0; round < 5; ++round) Read(handle, i % 2 ? "/missing" : "/ok");
      seen[i] = LastError();
      transport_->disconnect(handle);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 8; ++i) {
    if (i % 2) {
      EXPECT_EQ(seen[i].first, 6);
      EXPECT_THAT(seen[i].second, HasSubstr("404"));
    } else {
      EXPECT_EQ(seen[i], std::make_pair(0, std::string()));
    }
  }
}

TEST_F(TransportTest, AuthenticatesWithTheConnectionsCredentials) {
  for (bool digest : {false, true}) {
    TestServer server;
    if (digest) server.RequireDigest("monitor", "pa\"ss");
    else server.RequireBasic("monitor", "pa\"ss");
    server.Reply("/status", 200, "<status/>");
    server.Start();
    OLE_HANDLE good = Connect(server.port(), "monitor", "pa\"ss");
    EXPECT_EQ(Read(good, "/status"), "<status/>") << digest;
    OLE_HANDLE bad = Connect(server.port(), "monitor", "wrong");
    EXPECT_EQ(Read(bad, "/status"), "E_FAIL");
    EXPECT_THAT(LastError().second, HasSubstr("401"));
    transport_->disconnect(good);
    transport_->disconnect(bad);
  }
}

TEST_F(TransportTest, AbortedStalledTransferFailsPromptly) {
  TestServer server;
  server.Stall("/stall");
  server.Start();
  auto token = std::make_shared<platform::inet::TransferCancellationToken>();
  platform::HRESULT hr = platform::S_OK;
  std::string text;
  std::thread sampler([&] {
    platform::inet::TransferCancellationScope scope(token);
    OLE_HANDLE handle = Connect(server.port());
    Read(handle, "/stall", &hr);
    text = LastError().second;
    transport_->disconnect(handle);
  });
  ASSERT_TRUE(server.WaitForStalled(1, std::chrono::seconds(10)));
  auto started = std::chrono::steady_clock::now();
  token->Cancel();
  sampler.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(hr, platform::E_FAIL);
  EXPECT_THAT(text, HasSubstr("HttpSendRequest"));
  server.Release();
}

TEST_F(TransportTest, AggregationAndDispatch) {
  ComPtr<IMonitorTransport> refused;
  platform::IUnknown* outer = transport_.get();  // any object can stand as the outer one
  EXPECT_EQ(CreateHttpTransport(outer, IID_IMonitorTransport, refused.out_void()),
            platform::CLASS_E_NOAGGREGATION);
  ComPtr<platform::IUnknown> inner;
  ASSERT_EQ(CreateHttpTransport(outer, platform::IID_IUnknown, inner.out_void()), platform::S_OK);
  ComPtr<IMonitorTransport> through_inner;
  ASSERT_EQ(inner->QueryInterface(IID_IMonitorTransport, through_inner.out_void()), platform::S_OK);
  EXPECT_EQ(CanUnloadNow(), platform::S_FALSE);

  TestServer server;
  server.Reply("/list", 200, "<list/>");
  server.Start();
  platform::OLECHAR* names[] = {const_cast<platform::OLECHAR*>(u"Connect")};
  platform::DISPID id = 0;
  ASSERT_EQ(transport_->GetIDsOfNames(platform::IID_NULL, names, 1, 0, &id), platform::S_OK);
  EXPECT_EQ(id, kDispidConnect);
  Variant args[5], result;
  args[4].SetString("127.0.0.1");  // automation passes arguments last first
  args[3].get()->vt = platform::VT_I4;
  args[3].get()->lVal = server.port();
  args[2].SetString("");
  args[1].SetString("");
  args[0].get()->vt = platform::VT_I4;
  VARIANT raw[5];
  for (int i = 0; i < 5; ++i) raw[i] = *args[i].get();
  platform::DISPPARAMS params{raw, nullptr, 5, 0};
  ASSERT_EQ(transport_->Invoke(kDispidConnect, platform::IID_NULL, 0, platform::DISPATCH_METHOD,
                               &params, result.get(), nullptr, nullptr),
            platform::S_OK);
  EXPECT_EQ(result.value().vt, platform::VT_I4);
  EXPECT_EQ(Read(static_cast<OLE_HANDLE>(result.value().lVal), "/list"), "<list/>");
  transport_->disconnect(static_cast<OLE_HANDLE>(result.value().lVal));
  params.cArgs = 2;
  EXPECT_EQ(transport_->Invoke(kDispidConnect, platform::IID_NULL, 0, platform::DISPATCH_METHOD,
                               &params, nullptr, nullptr, nullptr),
            platform::DISP_E_BADPARAMCOUNT);
}

class HttpsTransportTest : public TransportTest {
 protected:
  testing_support::TestCertificates certificates_;
};

TEST_F(HttpsTransportTest, UnknownAuthorityIsAcceptedWrongNameAndDateAreNot) {
  WriteConfig("CertificateAuthorityFile=" + certificates_.authority().certificate + "\n");
  struct Case {
    const testing_support::CertificateFiles* certificate;
    bool accepted;
    const char* text;
  } cases[] = {
      {&certificates_.server(), true, ""},
      {&certificates_.self_signed(), true, ""},
      {&certificates_.unknown_authority(), true, ""},
      {&certificates_.expired(), false, "SSL"},
      {&certificates_.wrong_name(), false, "SSL"},
  };
  for (const Case& c : cases) {
    TestServer server(testing_support::TlsServerSetup{c.certificate->certificate, c.certificate->key, ""});
    server.Reply("/status", 200, "<status/>");
    server.Start();
    OLE_HANDLE handle = Connect(server.port(), "", "", mtf_https_scheme);
    EXPECT_EQ(Read(handle, "/status"), c.accepted ? "<status/>" : "E_FAIL") << c.certificate->certificate;
    if (!c.accepted) {
      EXPECT_THAT(LastError().second, HasSubstr(c.text));
    }
    transport_->disconnect(handle);
  }
}

TEST_F(HttpsTransportTest, IgnoreInvalidCertificateAcceptsWrongNameAndDate) {
  WriteConfig("IgnoreInvalidCertificate=1\n");
  for (const auto* certificate : {&certificates_.expired(), &certificates_.wrong_name()}) {
    TestServer server(testing_support::TlsServerSetup{certificate->certificate, certificate->key, ""});
    server.Reply("/status", 200, "<status/>");
    server.Start();
    OLE_HANDLE handle = Connect(server.port(), "", "", mtf_https_scheme);
    EXPECT_EQ(Read(handle, "/status"), "<status/>");
    transport_->disconnect(handle);
  }
}

TEST_F(HttpsTransportTest, ClientCertificatesAreOfferedInTurn) {
  TestServer server(testing_support::TlsServerSetup{certificates_.server().certificate,
                                                    certificates_.server().key,
                                                    certificates_.authority().certificate});
  server.Reply("/status", 200, "<status/>");
  server.Start();
  std::string trust = "CertificateAuthorityFile=" + certificates_.authority().certificate + "\n";

  // None configured: every retry offers nothing and the request fails.
  WriteConfig(trust);
  OLE_HANDLE handle = Connect(server.port(), "", "", mtf_https_scheme);
  EXPECT_EQ(Read(handle, "/status"), "E_FAIL");
  EXPECT_EQ(LastError().first, 6);
  transport_->disconnect(handle);

  // An unusable first entry is passed over; the second one is accepted.
  WriteConfig(trust + "ClientCertificate1=" + certificates_.folder() + "/missing.crt\n" +
              "ClientCertificate2=" + certificates_.client().certificate + "\n" +
              "ClientCertificateKey2=" + certificates_.client().key + "\n");
  handle = Connect(server.port(), "", "", mtf_https_scheme);
  EXPECT_EQ(Read(handle, "/status"), "<status/>");
  transport_->disconnect(handle);
}

}  // namespace
}  // namespace feedprobe

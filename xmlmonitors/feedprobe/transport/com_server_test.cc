// Registration of staged plug-in copies in the class registry, and creation by class
// identifier through it.
#include "feedprobe/transport/com_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>

#include "feedprobe/transport/monitor_transport.h"
#include "platform/com/memory_stream.h"
#include "platform/com/registry_store.h"
#include "platform/com/runtime.h"
#include "platform/com/type_library.h"
#include "support/plugin_copy.h"
#include "support/program_folder.h"

namespace feedprobe {
namespace {

using platform::HRESULT;
using testing_support::PluginCopy;

class RegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    registry_ = folder_.root() + "/registry";
    setenv("FEEDPROBE_REGISTRY", registry_.c_str(), 1);
  }
  void TearDown() override { unsetenv("FEEDPROBE_REGISTRY"); }

  platform::RegistryData Registry() const { return platform::RegistryStore(registry_).Read(); }
  std::optional<uint32_t> Count(const std::string& key) const {
    auto value = Registry().GetValue(key, "RefCount");
    if (!value) return std::nullopt;
    return value->number;
  }
  static HRESULT Call(const PluginCopy& copy, const char* name) {
    return copy.Get<int32_t()>(name)();
  }

  testing_support::ProgramFolder folder_;
  std::string registry_;
  const std::string class_key_ = "CLSID\\{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}";
  const std::string server_key_ = class_key_ + "\\InprocServer32";
  const std::string library_key_ = platform::TypeLibraryPathKey(TransportTypeLibrary());
};

TEST_F(RegistrationTest, CopiesAreCountedAndTheLastOneOutRemovesTheEntries) {
  PluginCopy alpha(folder_, "alpha"), beta(folder_, "beta");
  ASSERT_EQ(Call(alpha, "DllRegisterServer"), platform::S_OK);
  ASSERT_EQ(Call(beta, "DllRegisterServer"), platform::S_OK);
  platform::RegistryData data = Registry();
  EXPECT_EQ(data.GetValue(server_key_, "")->text, "beta.so");
  EXPECT_EQ(data.GetValue(server_key_, "ThreadingModel")->text, "Apartment");
  EXPECT_EQ(data.GetValue("Tolvane.VIDI4RAZUzovevi\\CurVer", "")->text,
            "Tolvane.VIDI4RAZUzovevi.702");
  EXPECT_EQ(data.GetValue(library_key_, "")->text, "beta.so");
  EXPECT_EQ(Count(server_key_), 2u);
  EXPECT_EQ(Count(library_key_), 2u);

  EXPECT_EQ(Call(alpha, "DllUnregisterServer"), platform::S_FALSE);
  EXPECT_EQ(Count(server_key_), 1u);
  EXPECT_EQ(Count(library_key_), 1u);
  EXPECT_TRUE(Registry().KeyExists(class_key_));

  EXPECT_EQ(Call(beta, "DllUnregisterServer"), platform::S_OK);
  data = Registry();
  EXPECT_FALSE(data.KeyExists(class_key_));
  EXPECT_FALSE(data.KeyExists("Tolvane.VIDI4RAZUzovevi.702"));
  EXPECT_FALSE(data.KeyExists("TypeLib\\{776D33B3-888B-11D4-9E8B-006008CB5184}"));
  EXPECT_TRUE(data.KeyExists("CLSID"));

  // Nothing left to unregister: a failure, and nothing changes.
  EXPECT_TRUE(platform::FAILED(Call(beta, "DllUnregisterServer")));
}

TEST_F(RegistrationTest, OneCopyRegisteredTwiceCountsTwice) {
  PluginCopy alpha(folder_, "alpha");
  ASSERT_EQ(Call(alpha, "DllRegisterServer"), platform::S_OK);
  ASSERT_EQ(Call(alpha, "DllRegisterServer"), platform::S_OK);
  EXPECT_EQ(Count(server_key_), 2u);
  EXPECT_EQ(Call(alpha, "DllUnregisterServer"), platform::S_FALSE);
  EXPECT_EQ(Count(server_key_), 1u);
  EXPECT_TRUE(Registry().KeyExists(class_key_ + "\\Programmable"));
}

TEST_F(RegistrationTest, ClassObjectAndUnloadTest) {
  PluginCopy alpha(folder_, "alpha");
  auto get_class_object = alpha.Get<decltype(::DllGetClassObject)>("DllGetClassObject");
  FeedprobeGuid clsid, iid, other;
  std::memcpy(&clsid, &CLSID_HTTPTransport, sizeof clsid);
  std::memcpy(&iid, &platform::IID_IClassFactory, sizeof iid);
  std::memcpy(&other, &IID_IMonitorTransport, sizeof other);
  EXPECT_EQ(get_class_object(&clsid, &iid, nullptr), platform::E_POINTER);
  void* object = nullptr;
  EXPECT_EQ(get_class_object(&other, &iid, &object), platform::CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(get_class_object(&clsid, &iid, &object), platform::S_OK);
  auto* factory = static_cast<platform::IClassFactory*>(object);
  EXPECT_EQ(Call(alpha, "DllCanUnloadNow"), platform::S_FALSE);
  platform::IUnknown* transport = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IMonitorTransport,
                                    reinterpret_cast<void**>(&transport)),
            platform::S_OK);
  factory->Release();
  EXPECT_EQ(Call(alpha, "DllCanUnloadNow"), platform::S_FALSE);
  transport->Release();
  EXPECT_EQ(Call(alpha, "DllCanUnloadNow"), platform::S_OK);
}

TEST_F(RegistrationTest, TransportLibraryIsCreatedThroughTheRegistry) {
  testing_support::CopyFile(std::string(FEEDPROBE_TEST_FIXTURES_DIR) + "/test_transport.so",
                            folder_.bin() + "test_transport.so");
  const std::string clsid_text = "{5E1F0C2A-3B4D-4E6F-8A9B-0C1D2E3F4A5B}";
  platform::RegistryStore(registry_).Update([&](platform::RegistryData& data) {
    data.SetString("CLSID\\" + clsid_text + "\\InprocServer32", "", "test_transport.so");
    return platform::S_OK;
  });
  platform::CLSID clsid;
  ASSERT_EQ(platform::ParseGuid(clsid_text, &clsid), platform::S_OK);
  platform::ComPtr<IMonitorTransport> transport;
  ASSERT_EQ(platform::CoCreateInstance(clsid, nullptr, platform::CLSCTX_ALL, IID_IMonitorTransport,
                                       transport.out_void()),
            platform::S_OK);
  OLE_HANDLE handle = 0;
  ASSERT_EQ(transport->connect(nullptr, 0, nullptr, nullptr, 0, &handle), platform::S_OK);
  auto stream = platform::ComPtr<platform::IStream>::Adopt(platform::CreateMemoryStream());
  platform::Variant destination;
  destination.SetUnknown(stream.get());
  ASSERT_EQ(transport->read(handle, nullptr, destination.get(), nullptr), platform::S_OK);
  EXPECT_EQ(*platform::MemoryStreamContent(stream.get()), "<fixed/>");

  // The plug-in's own class needs no registration.
  RegisterOwnClasses();
  platform::ComPtr<IMonitorTransport> own;
  EXPECT_EQ(platform::CoCreateInstance(CLSID_HTTPTransport, nullptr, platform::CLSCTX_ALL,
                                       IID_IMonitorTransport, own.out_void()),
            platform::S_OK);
}

}  // namespace
}  // namespace feedprobe

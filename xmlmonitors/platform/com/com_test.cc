#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/memory_stream.h"
#include "platform/com/registry_script.h"
#include "platform/com/registry_store.h"
#include "platform/com/runtime.h"
#include "platform/com/variant.h"

namespace platform {
namespace {

TEST(Guid, ParsesAndPrintsRegistryFormat) {
  GUID guid;
  ASSERT_EQ(ParseGuid("{ccc1d3d4-8E57-11D4-9E8D-006008CB5184}", &guid), S_OK);
  EXPECT_EQ(guid.Data1, 0xCCC1D3D4u);
  EXPECT_EQ(guid.Data4[7], 0x84);
  EXPECT_EQ(GuidToString(guid), "{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}");
  for (const char* bad : {"", "CCC1D3D4-8E57-11D4-9E8D-006008CB5184", "{not-a-guid}",
                          "{CCC1D3D4-8E57-11D4-9E8D-006008CB518G}",
                          "{CCC1D3D4-8E57-11D4-9E8D-006008CB51845}"}) {
    EXPECT_EQ(ParseGuid(bad, &guid), CO_E_CLASSSTRING) << bad;
    EXPECT_EQ(guid, kNullGuid);
  }
}

TEST(Bstr, KeepsLengthAndConvertsUtf8) {
  BString text("grüße € 𝄞");
  EXPECT_EQ(SysStringLen(text.get()), 10u);
  EXPECT_EQ(text.Utf8(), "grüße € 𝄞");
  EXPECT_EQ(BstrToUtf8(nullptr), "");
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  const char16_t with_zero[] = {u'a', 0, u'b'};
  BSTR embedded = SysAllocStringLen(with_zero, 3);
  EXPECT_EQ(SysStringLen(embedded), 3u);
  EXPECT_EQ(BstrToUtf8(embedded), std::string("a\0b", 3));
  SysFreeString(embedded);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xff\xfe").data(), 2), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(MemoryStream, WriteSeekReadAndSize) {
  ComPtr<IStream> stream = ComPtr<IStream>::Adopt(CreateMemoryStream());
  ULONG written = 0;
  ASSERT_EQ(stream->Write("hello world", 11, &written), S_OK);
  EXPECT_EQ(written, 11u);
  uint64_t position = 0;
  ASSERT_EQ(stream->Seek(6, STREAM_SEEK_SET, &position), S_OK);
  char buffer[16] = {};
  ULONG read = 0;
  EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_FALSE);
  EXPECT_EQ(std::string(buffer, read), "world");
  ASSERT_EQ(stream->Seek(0, STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position, 11u);
  EXPECT_EQ(*MemoryStreamContent(stream.get()), "hello world");

  Variant holder;
  holder.SetUnknown(stream.get());
  EXPECT_EQ(holder.value().vt, VT_UNKNOWN);
  ComPtr<IStream> again;
  EXPECT_EQ(holder.value().punkVal->QueryInterface(IID_IStream, again.out_void()), S_OK);
  ComPtr<IClassFactory> not_a_factory;
  EXPECT_EQ(holder.value().punkVal->QueryInterface(IID_IClassFactory, not_a_factory.out_void()),
            E_NOINTERFACE);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = (std::filesystem::temp_directory_path() / "feedprobe-reg-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir_.data()), nullptr);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(RegistryTest, StoreRoundTripsThroughItsFile) {
  RegistryStore store(dir_ + "/sub/registry");
  ASSERT_EQ(store.Update([](RegistryData& data) {
    data.SetString("CLSID\\{X}\\InprocServer32", "", "lib \"quoted\" \\ back.so");
    data.SetString("CLSID\\{X}\\InprocServer32", "ThreadingModel", "Apartment");
    data.SetDword("CLSID\\{X}\\InprocServer32", "RefCount", 2);
    return S_OK;
  }), S_OK);
  RegistryData data = store.Read();
  EXPECT_EQ(data.GetValue("clsid\\{x}\\inprocserver32", "")->text, "lib \"quoted\" \\ back.so");
  EXPECT_EQ(data.GetValue("CLSID\\{X}\\InprocServer32", "threadingmodel")->text, "Apartment");
  EXPECT_EQ(data.GetValue("CLSID\\{X}\\InprocServer32", "RefCount")->number, 2u);
  EXPECT_TRUE(data.KeyExists("CLSID"));
  EXPECT_FALSE(data.GetValue("CLSID\\{X}", "missing"));

  // A failing change writes nothing.
  EXPECT_EQ(store.Update([](RegistryData& d) {
    d.DeleteKeyTree("CLSID");
    return E_FAIL;
  }), E_FAIL);
  EXPECT_TRUE(store.Read().KeyExists("CLSID\\{X}"));
}

TEST_F(RegistryTest, ConcurrentProcessesDoNotLoseUpdates) {
  RegistryStore store(dir_ + "/registry");
  auto increment = [&] {
    for (int i = 0; i < 20; ++i) {
      store.Update([](RegistryData& data) {
        auto v = data.GetValue("Counter", "n");
        data.SetDword("Counter", "n", v ? v->number + 1 : 1);
        return S_OK;
      });
    }
  };
  pid_t child = fork();
  if (child == 0) {
    increment();
    _exit(0);
  }
  increment();
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(store.Read().GetValue("Counter", "n")->number, 40u);
}

TEST_F(RegistryTest, ScriptRegistersAndUnregisters) {
  const char* script = R"(
HKCR
{
  Sample.Thing.1 = s 'Thing Class'
  {
    CLSID = s '{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}'
  }
  NoRemove CLSID
  {
    {CCC1D3D4-8E57-11D4-9E8D-006008CB5184} = s 'Thing Class'
    {
      ForceRemove 'Programmable'
      InprocServer32 = s '%MODULE%'
      {
        val ThreadingModel = s 'Apartment'
      }
      'TypeLib' = s '{776D33B3-888B-11D4-9E8B-006008CB5184}'
    }
  }
})";
  RegistryData data;
  data.SetString("CLSID\\{OTHER}", "", "kept");
  ASSERT_EQ(ApplyRegistryScript(data, script, {{"MODULE", "thing.so"}}, true), S_OK);
  std::string clsid = "CLSID\\{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}";
  EXPECT_EQ(data.GetValue(clsid + "\\InprocServer32", "")->text, "thing.so");
  EXPECT_EQ(data.GetValue(clsid + "\\InprocServer32", "ThreadingModel")->text, "Apartment");
  EXPECT_TRUE(data.KeyExists(clsid + "\\Programmable"));
  EXPECT_EQ(data.GetValue("Sample.Thing.1\\CLSID", "")->text,
            "{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}");

  ASSERT_EQ(ApplyRegistryScript(data, script, {{"MODULE", "thing.so"}}, false), S_OK);
  EXPECT_FALSE(data.KeyExists(clsid));
  EXPECT_FALSE(data.KeyExists("Sample.Thing.1"));
  EXPECT_TRUE(data.KeyExists("CLSID"));
  EXPECT_TRUE(data.KeyExists("CLSID\\{OTHER}"));

  EXPECT_EQ(ApplyRegistryScript(data, "HKCR { unclosed", {}, true), E_INVALIDARG);
}

TEST(Runtime, ApartmentsAreCountedPerThread) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  HRESULT other = E_FAIL;
  std::thread([&] { other = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }).join();
  EXPECT_EQ(other, S_OK);
  CoUninitialize();
  CoUninitialize();
}

TEST(Runtime, UnknownClassIsNotRegistered) {
  setenv("FEEDPROBE_REGISTRY", "/nonexistent/feedprobe-registry", 1);
  GUID unknown;
  ParseGuid("{11111111-2222-3333-4444-555555555555}", &unknown);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  unsetenv("FEEDPROBE_REGISTRY");
}

}  // namespace
}  // namespace platform

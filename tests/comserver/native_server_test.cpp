// The compress object and the module over the stand-in platform: the level
// from the registry, zlib results and their HRESULTs, trace lines, the lock
// count, the class factory, aggregation and registration.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <random>

#include "native_fixture.h"

// The server allocates its objects with the non-throwing operator new;
// replacing it lets a test refuse the next such allocation.
namespace {
std::atomic<bool> refuseNextNothrowNew{false};
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (refuseNextNothrowNew.exchange(false)) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace reductcom_test {
namespace {

constexpr HRESULT MORE_DATA = static_cast<HRESULT>(0x800700EAu);

std::vector<BYTE> sampleData(size_t size) {
  std::vector<BYTE> data(size);
  std::mt19937 random(12345);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>(i % 251 < 120 ? i % 7 : random() % 16);
  return data;
}

using CompressObject = NativeServer;

TEST_F(CompressObject, LevelComesFromTheRegistryWhenItCanBeRead) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    int level;
  };
  const Case cases[] = {
      {"no key", [] {}, 6},
      {"no value", [] { standin::createKey(FRAMEWORK_KEY); }, 6},
      {"REG_DWORD 9", [] { standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 9); }, 9},
      {"REG_DWORD 0", [] { standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 0); }, 0},
      {"REG_DWORD -1", [] { standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 0xFFFFFFFFu); }, -1},
      {"type not checked", [] { standin::setValue(FRAMEWORK_KEY, u"ReductionLevel", REG_BINARY, {3, 0, 0, 0}); }, 3},
      {"string longer than 4 bytes", [] { standin::setString(FRAMEWORK_KEY, u"ReductionLevel", u"12"); }, 6},
      {"fewer than 4 bytes", [] { standin::setValue(FRAMEWORK_KEY, u"ReductionLevel", REG_BINARY, {9, 0}); }, 6},
      {"no write access to the key",
       [] {
         standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 9);
         standin::denyAccess(FRAMEWORK_KEY, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
       },
       6},
      {"query fails", [] {
         standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 9);
         standin::setRegistryFault([](standin::RegCall call, const std::u16string& path, REGSAM) {
           return call == standin::RegCall::Query && path == FRAMEWORK_KEY ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
         });
       }, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    installFakeLogger();
    c.seed();
    attach();
    ICompress* compress = createCompress();
    std::vector<BYTE> src = sampleData(100), dst(200);
    ULONG dstLen = 200;
    compress->Compress(dst.data(), &dstLen, src.data(), 100);
    compress->Release();
    auto lines = lineTexts();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Compress - Level = " + std::to_string(c.level) + ",pDestLen(in) = 200,SrcLen = 100");
    standin::setRegistryFault(nullptr);
    detach();
  }
}

TEST_F(CompressObject, CompressMatchesZlibAtEveryLevelAndRoundTrips) {
  attach();
  const std::vector<BYTE> src = sampleData(70000);
  for (int level = -1; level <= 9; ++level) {
    SCOPED_TRACE(level);
    standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", static_cast<std::uint32_t>(level));
    ICompress* compress = createCompress();
    std::vector<BYTE> expected(compressBound(src.size()));
    uLongf expectedLen = expected.size();
    ASSERT_EQ(compress2(expected.data(), &expectedLen, src.data(), src.size(), level), Z_OK);
    expected.resize(expectedLen);

    std::vector<BYTE> coded(expected.size() + 50, 0xFF);
    auto codedLen = static_cast<ULONG>(coded.size());
    ASSERT_EQ(compress->Compress(coded.data(), &codedLen, const_cast<BYTE*>(src.data()), static_cast<ULONG>(src.size())), S_OK);
    coded.resize(codedLen);
    EXPECT_EQ(coded, expected);

    std::vector<BYTE> decoded(src.size(), 0xFF);
    auto decodedLen = static_cast<ULONG>(decoded.size());
    ASSERT_EQ(compress->Uncompress(decoded.data(), &decodedLen, coded.data(), codedLen), S_OK);
    EXPECT_EQ(decodedLen, src.size());
    EXPECT_EQ(decoded, src);
    compress->Release();
  }
}

TEST_F(CompressObject, ResultsTraceLinesAndHresults) {
  installFakeLogger();
  attach();
  ICompress* compress = createCompress();
  lineTexts();
  std::vector<BYTE> src = sampleData(1000);
  std::vector<BYTE> coded(2000);

  // Empty source: zlib's stream for nothing.
  ULONG len = 2000;
  EXPECT_EQ(compress->Compress(coded.data(), &len, src.data(), 0), S_OK);
  EXPECT_EQ(len, 8u);
  // Too small a destination: only the first line.
  ULONG small = 10;
  EXPECT_EQ(compress->Compress(coded.data(), &small, src.data(), 1000), MORE_DATA);
  EXPECT_EQ(lineTexts(), (std::vector<std::string>{"Compress - Level = 6,pDestLen(in) = 2000,SrcLen = 0",
                                                   "Compress - pDestLen(out) = 8,SrcLen = 0",
                                                   "Compress - Level = 6,pDestLen(in) = 10,SrcLen = 1000"}));

  ULONG codedLen = 2000;
  ASSERT_EQ(compress->Compress(coded.data(), &codedLen, src.data(), 1000), S_OK);
  lineTexts();
  std::vector<BYTE> out(1000);
  ULONG outLen = 999;
  EXPECT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), MORE_DATA);
  std::vector<BYTE> junk(64, 0x5A);
  outLen = 1000;
  EXPECT_EQ(compress->Uncompress(out.data(), &outLen, junk.data(), 64), E_FAIL);
  outLen = 1000;
  EXPECT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), S_OK);
  EXPECT_EQ(lineTexts(),
            (std::vector<std::string>{"Uncompress - pDestLen(in) = 999,SrcLen = " + std::to_string(codedLen),
                                      "Uncompress - pDestLen(in) = 1000,SrcLen = 64",
                                      "Uncompress - pDestLen(in) = 1000,SrcLen = " + std::to_string(codedLen),
                                      "Uncompress - pDestLen(out) = 1000,SrcLen = " + std::to_string(codedLen)}));

  // Bounds: lengths of 2^31 and more print negative.
  ULONG bound = 0x80000000u;
  EXPECT_EQ(compress->CompressBound(&bound), S_OK);
  EXPECT_EQ(bound, compressBound(0x80000000u));
  EXPECT_EQ(lineTexts(), (std::vector<std::string>{"CompressBound - pSrcLen(in) = -2147483648",
                                                   "CompressBound - pSrcLen(out) = " +
                                                       std::to_string(static_cast<std::int32_t>(bound))}));
  // A bound that does not fit 32 bits is refused rather than wrapped.
  ULONG huge = 0xFFFFFFF0u;
  EXPECT_EQ(compress->CompressBound(&huge), static_cast<HRESULT>(0x80070216u));
  EXPECT_EQ(huge, 0xFFFFFFF0u);
  EXPECT_EQ(lineTexts(), std::vector<std::string>{"CompressBound - pSrcLen(in) = -16"});

  // Null arguments: no line, no zlib call.
  EXPECT_EQ(compress->CompressBound(nullptr), E_FAIL);
  EXPECT_EQ(compress->Compress(nullptr, &len, src.data(), 1), E_POINTER);
  EXPECT_EQ(compress->Compress(coded.data(), nullptr, src.data(), 1), E_POINTER);
  EXPECT_EQ(compress->Compress(coded.data(), &len, nullptr, 1), E_POINTER);
  EXPECT_EQ(compress->Uncompress(nullptr, &len, src.data(), 1), E_POINTER);
  EXPECT_EQ(compress->Uncompress(coded.data(), nullptr, src.data(), 1), E_POINTER);
  EXPECT_EQ(compress->Uncompress(coded.data(), &len, nullptr, 1), E_POINTER);
  EXPECT_TRUE(lineTexts().empty());
  compress->Release();
}

TEST_F(CompressObject, LevelOutsideZlibsRangeFailsOnlyCompress) {
  standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 12);
  installFakeLogger();
  attach();
  ICompress* compress = createCompress();
  lineTexts();
  std::vector<BYTE> src = sampleData(300), dst(400);
  ULONG len = 400;
  EXPECT_EQ(compress->Compress(dst.data(), &len, src.data(), 300), E_FAIL);
  EXPECT_EQ(lineTexts(), std::vector<std::string>{"Compress - Level = 12,pDestLen(in) = 400,SrcLen = 300"});
  uLongf zlen = dst.size();
  ASSERT_EQ(compress2(dst.data(), &zlen, src.data(), 300, 6), Z_OK);
  std::vector<BYTE> out(300);
  len = 300;
  EXPECT_EQ(compress->Uncompress(out.data(), &len, dst.data(), static_cast<ULONG>(zlen)), S_OK);
  EXPECT_EQ(out, src);
  len = 0;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  compress->Release();
}

TEST(ZlibResults, MapToHresults) {
  EXPECT_EQ(HResultFromZlib(Z_OK), S_OK);
  EXPECT_EQ(HResultFromZlib(Z_MEM_ERROR), E_OUTOFMEMORY);
  EXPECT_EQ(HResultFromZlib(Z_BUF_ERROR), MORE_DATA);
  for (int other : {Z_STREAM_ERROR, Z_DATA_ERROR, Z_VERSION_ERROR, Z_ERRNO, Z_NEED_DICT, 1}) {
    EXPECT_EQ(HResultFromZlib(other), E_FAIL) << other;
  }
  EXPECT_EQ(HResultFromWin32(0), S_OK);
  EXPECT_EQ(HResultFromWin32(5), static_cast<HRESULT>(0x80070005u));
  EXPECT_EQ(HResultFromWin32(0x12345), static_cast<HRESULT>(0x80072345u));
  EXPECT_EQ(HResultFromWin32(-7), -7);
}

// ---- module ------------------------------------------------------------------

using ServerModule = NativeServer;

struct TestOuterForAllocation final : IUnknown {
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
};

TEST_F(ServerModule, LockCountFollowsClassObjectInstancesAndLockServer) {
  attach();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  IClassFactory* factory = classFactory();
  EXPECT_EQ(ModuleLockCount(), 1);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  void* object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICompress, &object), S_OK);
  EXPECT_EQ(ModuleLockCount(), 2);
  factory->Release();
  EXPECT_EQ(ModuleLockCount(), 1);
  static_cast<ICompress*>(object)->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  factory = classFactory();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory = classFactory();
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(ModuleLockCount(), -1);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory = classFactory();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerModule, CreateInstanceRefusalsAndTeardownAfterAFailedRequest) {
  installFakeLogger();
  attach();
  IClassFactory* factory = classFactory();
  FakeLogger::take();
  LONG locks = ModuleLockCount();

  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICompress, nullptr), E_POINTER);
  struct Outer final : IUnknown {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
  } outer;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_ICompress, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(lineTexts().empty());
  EXPECT_EQ(ModuleLockCount(), locks);

  const IID IID_IDispatch = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(lineTexts(), (std::vector<std::string>{"FinalRelease()", "~CReduct()"}));
  EXPECT_EQ(ModuleLockCount(), locks);

  void* viaUnknown = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &viaUnknown), S_OK);
  void* viaCompress = nullptr;
  auto* unknown = static_cast<IUnknown*>(viaUnknown);
  ASSERT_EQ(unknown->QueryInterface(IID_ICompress, &viaCompress), S_OK);
  EXPECT_EQ(viaCompress, viaUnknown);
  EXPECT_EQ(unknown->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
  EXPECT_EQ(lineTexts(), (std::vector<std::string>{"FinalRelease()", "~CReduct()"}));
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// An outer object that aggregates the server's object and counts its own
// references.
class TestOuter final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualGUID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (IsEqualGUID(riid, IID_ICompress) && inner != nullptr) return inner->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++references); }
  ULONG Release() override { return static_cast<ULONG>(--references); }

  int references = 1;
  IUnknown* inner = nullptr;
};

TEST_F(ServerModule, AggregatedObjectDelegatesToItsOuterObject) {
  installFakeLogger();
  standin::setDword(FRAMEWORK_KEY, u"ReductionLevel", 9);
  attach();
  IClassFactory* factory = classFactory();
  FakeLogger::take();
  TestOuter outer;
  void* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &inner), S_OK);
  outer.inner = static_cast<IUnknown*>(inner);
  EXPECT_EQ(ModuleLockCount(), 2);
  EXPECT_EQ(outer.references, 1);

  void* same = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, &same), S_OK);
  EXPECT_EQ(same, inner);
  EXPECT_EQ(outer.inner->Release(), 1u);
  EXPECT_EQ(outer.inner->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  void* viaInner = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_ICompress, &viaInner), S_OK);
  auto* compress = static_cast<ICompress*>(viaInner);
  EXPECT_EQ(outer.references, 2);  // the interface's AddRef went to the outer object
  compress->AddRef();
  EXPECT_EQ(outer.references, 3);
  compress->Release();
  // IUnknown through the interface answers the outer object's identity.
  void* identity = nullptr;
  ASSERT_EQ(compress->QueryInterface(IID_IUnknown, &identity), S_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  outer.Release();

  std::vector<BYTE> src = sampleData(500), dst(600), back(500);
  ULONG len = 600;
  ASSERT_EQ(compress->Compress(dst.data(), &len, src.data(), 500), S_OK);
  ULONG backLen = 500;
  ASSERT_EQ(compress->Uncompress(back.data(), &backLen, dst.data(), len), S_OK);
  EXPECT_EQ(back, src);
  compress->Release();
  EXPECT_EQ(outer.references, 1);

  EXPECT_EQ(outer.inner->Release(), 0u);
  auto lines = lineTexts();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "Compress - Level = 9,pDestLen(in) = 600,SrcLen = 500");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
            (std::vector<std::string>{"FinalRelease()", "~CReduct()"}));
  EXPECT_EQ(ModuleLockCount(), 1);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerModule, AllocationFailuresAnswerOutOfMemory) {
  installFakeLogger();
  attach();
  RunFirstCallSetup();
  FakeLogger::take();
  void* object = reinterpret_cast<void*>(1);
  refuseNextNothrowNew = true;
  EXPECT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, &object), E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  IClassFactory* factory = classFactory();  // the next lookup makes it
  ASSERT_NE(factory, nullptr);
  LONG locks = ModuleLockCount();

  refuseNextNothrowNew = true;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICompress, &object), E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  TestOuterForAllocation outer;
  refuseNextNothrowNew = true;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object), E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(ModuleLockCount(), locks);
  EXPECT_TRUE(lineTexts().empty());
  factory->Release();
}

TEST_F(ServerModule, ClassObjectLookupAnswersOnlyItsInterfaces) {
  attach();
  EXPECT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, nullptr), E_POINTER);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(CLSID_Reduct, IID_ICompress, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  void* a = nullptr;
  void* b = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_Reduct, IID_IUnknown, &a), S_OK);
  ASSERT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, &b), S_OK);
  EXPECT_EQ(a, b);  // the one cached class object
  EXPECT_EQ(ModuleLockCount(), 1);
  static_cast<IUnknown*>(a)->Release();
  static_cast<IUnknown*>(b)->Release();
  EXPECT_EQ(ModuleLockCount(), 0);
}

// ---- registration ---------------------------------------------------------------

std::vector<std::string> expectedRegistration(const std::string& modulePath) {
  const std::string clsid = "{5E3A7C21-9B4D-4F60-A1C8-72D94E0B6F13}";
  std::vector<std::string> rows = {
      "HKCR\\Halvorn.Reduct.Compress.1||REG_SZ|Reduct",
      "HKCR\\Halvorn.Reduct.Compress.1\\CLSID||REG_SZ|" + clsid,
      "HKCR\\Halvorn.Reduct.Compress||REG_SZ|Reduct",
      "HKCR\\Halvorn.Reduct.Compress\\CLSID||REG_SZ|" + clsid,
      "HKCR\\CLSID\\" + clsid + "||REG_SZ|Reduct",
      "HKCR\\CLSID\\" + clsid + "\\ProgID||REG_SZ|Halvorn.Reduct.Compress.1",
      "HKCR\\CLSID\\" + clsid + "\\VersionIndependentProgID||REG_SZ|Halvorn.Reduct.Compress",
      "HKCR\\CLSID\\" + clsid + "\\InprocServer32||REG_SZ|" + modulePath,
      "HKCR\\CLSID\\" + clsid + "\\InprocServer32|ThreadingModel|REG_SZ|both",
  };
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST_F(ServerModule, RegistrationWritesExactlyTheNineValuesAndRemovesWholeTrees) {
  const std::u16string longPath = u"C:\\" + std::u16string(300, u'd') + u"\\ReductCom.dll";
  for (const auto& path : {MODULE_PATH, longPath}) {
    SetUp();
    standin::setModulePath(path);
    attach();
    standin::createKey(u"HKCR\\CLSID");
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(standin::dumpRegistry(u"HKCR"), expectedRegistration(standin::toUtf8(path)));
    EXPECT_EQ(standin::openKeyHandles(), 0);

    standin::createKey(u"HKCR\\CLSID\\{5E3A7C21-9B4D-4F60-A1C8-72D94E0B6F13}\\Foreign\\Deeper");
    standin::setString(u"HKCR\\Halvorn.Reduct.Compress\\Extra", u"", u"someone else's");
    standin::createKey(u"HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}");
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_TRUE(standin::dumpRegistry(u"HKCR").empty());
    EXPECT_FALSE(standin::keyExists(u"HKCR\\Halvorn.Reduct.Compress"));
    EXPECT_FALSE(standin::keyExists(u"HKCR\\Halvorn.Reduct.Compress.1"));
    EXPECT_FALSE(standin::keyExists(u"HKCR\\CLSID\\{5E3A7C21-9B4D-4F60-A1C8-72D94E0B6F13}"));
    EXPECT_TRUE(standin::keyExists(u"HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}"));
    EXPECT_EQ(DllUnregisterServer(), S_OK);  // nothing registered
    detach();
  }
}

TEST_F(ServerModule, RegistrationStopsAtAKeyItCannotCreate) {
  attach();
  standin::createKey(u"HKCR\\CLSID");
  standin::setRegistryFault([](standin::RegCall call, const std::u16string& path, REGSAM) {
    return call == standin::RegCall::Create && path == u"HKCR\\Halvorn.Reduct.Compress" ? ERROR_ACCESS_DENIED
                                                                                         : ERROR_SUCCESS;
  });
  EXPECT_EQ(DllRegisterServer(), static_cast<HRESULT>(0x80070005u));
  // The first ProgID stays, nothing after the failing step is written.
  auto rows = standin::dumpRegistry(u"HKCR");
  EXPECT_EQ(rows.size(), 2u);
  EXPECT_FALSE(standin::keyExists(u"HKCR\\CLSID\\{5E3A7C21-9B4D-4F60-A1C8-72D94E0B6F13}"));

  standin::setRegistryFault([](standin::RegCall call, const std::u16string& path, REGSAM) {
    return call == standin::RegCall::Open && path == u"HKCR\\CLSID" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  });
  EXPECT_EQ(DllRegisterServer(), static_cast<HRESULT>(0x80070005u));
  EXPECT_EQ(DllUnregisterServer(), S_OK);  // failures are not reported
  standin::setRegistryFault(nullptr);
}

TEST_F(ServerModule, DetachReleasesTheCachedClassObject) {
  installFakeLogger();
  attach();
  IClassFactory* factory = classFactory();
  factory->Release();
  ICompress* compress = createCompress();
  compress->Release();
  FakeLogger::take();
  detach();  // the sanitizers' leak check sees whether the class object went
  EXPECT_EQ(FakeLogger::take(), std::vector<std::string>{"unregister 7"});
  attach();  // a fresh load starts over
  EXPECT_FALSE(LoggerSetupDone.load());
  EXPECT_EQ(TraceFlagId.load(), 0);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace reductcom_test

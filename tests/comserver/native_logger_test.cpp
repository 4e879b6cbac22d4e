// The logger client over the stand-in platform: where the library is
// loaded from, the first-call setup, identities, retries, missing entry
// points, the release at detach and the line formatting.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "native_fixture.h"

namespace reductcom_test {
namespace {

using LoggerClientTest = NativeServer;

TEST_F(LoggerClientTest, LoadsFromInstallPathJoinedByOneBackslash) {
  const std::u16string longDir = u"D:\\" + std::u16string(300, u'x');
  struct Case {
    const char* what;
    bool present;
    std::vector<BYTE> value;  // raw REG_SZ bytes
    std::u16string expected;
  };
  auto bytes = [](const std::u16string& text, bool terminated) {
    std::vector<BYTE> out;
    for (char16_t c : text) {
      out.push_back(static_cast<BYTE>(c & 0xFF));
      out.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminated) out.insert(out.end(), {0, 0});
    return out;
  };
  const std::u16string dir261(261, u'y');
  const Case cases[] = {
      {"directory", true, bytes(u"C:\\Log", true), u"C:\\Log\\Tracewell.dll"},
      {"trailing backslash", true, bytes(u"C:\\Log\\", true), u"C:\\Log\\Tracewell.dll"},
      {"empty", true, bytes(u"", true), u"Tracewell.dll"},
      {"absent", false, {}, u"Tracewell.dll"},
      {"no terminating zero", true, bytes(u"C:\\Log", false), u"C:\\Log\\Tracewell.dll"},
      {"261 characters, no zero", true, bytes(dir261, false), dir261 + u"\\Tracewell.dll"},
      {"longer than the first read", true, bytes(longDir, true), longDir + u"\\Tracewell.dll"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    if (c.present) standin::setValue(LOGGER_KEY, u"InstallPath", REG_SZ, c.value);
    attach();
    RunFirstCallSetup();
    auto attempts = standin::loadAttempts();
    ASSERT_FALSE(attempts.empty());
    EXPECT_EQ(standin::toUtf8(attempts[0]), standin::toUtf8(c.expected));
    detach();
    EXPECT_EQ(standin::openKeyHandles(), 0);
  }
}

TEST_F(LoggerClientTest, InstallPathKeyIsOpenedForReadingOnly) {
  standin::setString(LOGGER_KEY, u"InstallPath", LOGGER_DIR);
  standin::denyAccess(LOGGER_KEY, KEY_SET_VALUE);  // a reader may not write there
  standin::installLibrary(LOGGER_DLL, FakeLogger::library());
  attach();
  RunFirstCallSetup();
  EXPECT_EQ(standin::toUtf8(standin::loadAttempts().at(0)), standin::toUtf8(LOGGER_DLL));
}

TEST_F(LoggerClientTest, FirstCallSetupNamesTheModuleThenReductAndRegistersTheFlagOnce) {
  installFakeLogger();
  attach();
  void* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, &factory), S_OK);
  static_cast<IClassFactory*>(factory)->Release();
  ASSERT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, &factory), S_OK);
  static_cast<IClassFactory*>(factory)->Release();
  EXPECT_EQ(FakeLogger::take(), (std::vector<std::string>{"register -1", "identity 7 ReductCom",
                                                          "identity 7 Reduct", "flag 7 11 TraceOn"}));
  EXPECT_EQ(TraceFlagId.load(), 42);
  EXPECT_TRUE(LoggerSetupDone.load());
  EXPECT_EQ(standin::loadAttempts().size(), 1u);
}

TEST_F(LoggerClientTest, SetupRunsForAClassTheModuleDoesNotServe) {
  installFakeLogger();
  attach();
  const CLSID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(other, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(LoggerSetupDone.load());
  EXPECT_EQ(FakeLogger::take().size(), 4u);
}

TEST_F(LoggerClientTest, LoggerInstalledAfterSetupIsNamedAfterTheModuleAndUsesFlagZero) {
  attach();
  ICompress* compress = createCompress();
  EXPECT_EQ(TraceFlagId.load(), 0);
  EXPECT_TRUE(LoggerSetupDone.load());
  // Absent: every method still answers, and every trace attempt retries
  // the registry read and the load.
  size_t before = standin::loadAttempts().size();
  ULONG len = 100;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  EXPECT_EQ(len, 100u + 13u);
  EXPECT_EQ(standin::loadAttempts().size(), before + 2);

  installFakeLogger();
  len = 0;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  compress->Release();
  EXPECT_EQ(FakeLogger::take(),
            (std::vector<std::string>{"register -1", "identity 7 ReductCom", "line 7 0 CompressBound - pSrcLen(in) = 0",
                                      "line 7 0 CompressBound - pSrcLen(out) = 13", "line 7 0 FinalRelease()",
                                      "line 7 0 ~CReduct()"}));
}

TEST_F(LoggerClientTest, ModuleFileNotFoundGivesTheFullPathAsInvalidName) {
  const std::u16string longPath = u"C:\\" + std::u16string(400, u'p') + u"\\ReductCom.dll";
  for (const auto& path : {MODULE_PATH, longPath}) {
    SetUp();
    standin::setModulePath(path);
    standin::removeFile(path);
    installFakeLogger();
    attach();
    RunFirstCallSetup();
    auto calls = FakeLogger::take();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1], "identity 7 " + standin::toUtf8(path) + " - Invalid Name");
    detach();
  }
}

TEST_F(LoggerClientTest, IdentityDropsOnlyTheLastExtension) {
  const std::u16string path = u"C:\\Apps\\Reduct.Com.v2.dll";
  standin::setModulePath(path);
  standin::addFile(path);
  installFakeLogger();
  attach();
  RunFirstCallSetup();
  EXPECT_EQ(FakeLogger::take().at(1), "identity 7 Reduct.Com.v2");
}

TEST_F(LoggerClientTest, RefusedRegistrationIsRetriedAtEveryUseAndLinesAreDropped) {
  installFakeLogger();
  FakeLogger::refuseRegistration = true;
  attach();
  ICompress* compress = createCompress();
  EXPECT_EQ(TraceFlagId.load(), 0);
  ULONG len = 5;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  auto calls = FakeLogger::take();
  // setup: identity + flag attempts; each line one more attempt
  EXPECT_EQ(calls, std::vector<std::string>(calls.size(), "register -1"));
  EXPECT_GE(calls.size(), 4u);
  // Loaded once: a loaded library is not loaded again.
  EXPECT_EQ(standin::loadAttempts().size(), 1u);
  FakeLogger::refuseRegistration = false;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  compress->Release();
  EXPECT_EQ(FakeLogger::take().at(2), "line 7 0 CompressBound - pSrcLen(in) = 18");
}

TEST_F(LoggerClientTest, MissingEntryPointsSkipTheirStep) {
  struct Case {
    const char* missing;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"SETIDENTITYNAME", {"register -1", "flag 7 11 TraceOn", "line 7 42 CompressBound - pSrcLen(in) = 1",
                           "line 7 42 CompressBound - pSrcLen(out) = 14"}},
      {"REGISTERLOGFLAG", {"register -1", "identity 7 ReductCom", "identity 7 Reduct",
                           "line 7 0 CompressBound - pSrcLen(in) = 1", "line 7 0 CompressBound - pSrcLen(out) = 14"}},
      {"LOGCUSTOM2", {"register -1", "identity 7 ReductCom", "identity 7 Reduct", "flag 7 11 TraceOn"}},
      {"REGISTERLOGGERCLIENT", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.missing);
    SetUp();
    installFakeLogger({c.missing});
    attach();
    ICompress* compress = createCompress();
    ULONG len = 1;
    EXPECT_EQ(compress->CompressBound(&len), S_OK);
    EXPECT_EQ(len, 14u);
    auto calls = FakeLogger::take();
    EXPECT_EQ(calls, c.expected);
    compress->Release();
    detach();
  }
}

TEST_F(LoggerClientTest, DetachUnregistersOnceAndUnloadsTheLibrary) {
  installFakeLogger();
  attach();
  RunFirstCallSetup();
  FakeLogger::take();
  detach();
  EXPECT_EQ(FakeLogger::take(), std::vector<std::string>{"unregister 7"});
  EXPECT_EQ(standin::freeCalls(), 1);
  EXPECT_EQ(standin::loadedLibraries(), 0);
  EXPECT_EQ(PeekLoggerClient().module, nullptr);
  EXPECT_EQ(PeekLoggerClient().clientId.load(), -1);
}

TEST_F(LoggerClientTest, FailedUnloadKeepsTheHandleAndEntryPoints) {
  installFakeLogger();
  standin::setFreeLibraryFails(LOGGER_DLL, true);
  attach();
  RunFirstCallSetup();
  detach();
  EXPECT_EQ(standin::freeCalls(), 1);
  EXPECT_NE(PeekLoggerClient().module, nullptr);
  EXPECT_NE(PeekLoggerClient().entryPoints[32], nullptr);
  EXPECT_EQ(PeekLoggerClient().clientId.load(), -1);
}

TEST_F(LoggerClientTest, DetachWithoutAnyUseTouchesNothing) {
  installFakeLogger();
  attach();
  detach();
  EXPECT_TRUE(FakeLogger::take().empty());
  EXPECT_EQ(standin::freeCalls(), 0);
  EXPECT_TRUE(standin::loadAttempts().empty());
}

TEST_F(LoggerClientTest, FormatsLinesPrintfStyle) {
  attach();
  struct Case {
    std::u16string expected;
    std::u16string text;
  };
  WCHAR out[64];
  FormatTraceText(out, 64, u"a %d b %d c %u %x %s %% %q", 0, -2147483647 - 1, 4294967295u, 0xBEEFu, u"txt");
  EXPECT_EQ(std::u16string(out), u"a 0 b -2147483648 c 4294967295 beef txt % q");
  FormatTraceText(out, 8, u"%d", 123456789);
  EXPECT_EQ(std::u16string(out), u"1234567");
  std::vector<WCHAR> big(9000, u'z');
  big.back() = 0;
  std::vector<WCHAR> line(8192);
  FormatTraceText(line.data(), line.size(), big.data());
  EXPECT_EQ(std::u16string(line.data()).size(), 8191u);
}

TEST_F(LoggerClientTest, StandInTracewellRecordsIdentityFlagAndLines) {
  std::string log = ::testing::TempDir() + "reductcom_native_tracewell.log";
  std::remove(log.c_str());
  setenv("TRACEWELL_LOG", log.c_str(), 1);
  standin::setString(LOGGER_KEY, u"InstallPath", LOGGER_DIR + u"\\");
  standin::installSharedObject(LOGGER_DLL, TRACEWELL_SO);
  attach();
  ICompress* compress = createCompress();
  ULONG len = 10;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  compress->Release();
  detach();
  unsetenv("TRACEWELL_LOG");
  std::ifstream in(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    // Drop the client id, which depends on earlier clients of the library.
    auto space = line.find(' ', line.find("client=")) ;
    lines.push_back(line.substr(0, line.find("client=")) + (space == std::string::npos ? "" : line.substr(space + 1)));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "REGISTERLOGGERCLIENT ",
                       "SETIDENTITYNAME name=ReductCom",
                       "SETIDENTITYNAME name=Reduct",
                       "REGISTERLOGFLAG kind=11 name=TraceOn id=1",
                       "LOGCUSTOM2 identity=Reduct flag=1 text=CompressBound - pSrcLen(in) = 10",
                       "LOGCUSTOM2 identity=Reduct flag=1 text=CompressBound - pSrcLen(out) = 23",
                       "LOGCUSTOM2 identity=Reduct flag=1 text=FinalRelease()",
                       "LOGCUSTOM2 identity=Reduct flag=1 text=~CReduct()",
                       "UNREGISTERLOGGERCLIENT ",
                   }));
  std::remove(log.c_str());
}

TEST_F(LoggerClientTest, ConcurrentFirstCallsRunTheSetupOnce) {
  installFakeLogger();
  attach();
  constexpr int THREADS = 8;
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t) {
    threads.emplace_back([&] {
      ready.fetch_add(1);
      while (ready.load() < THREADS) std::this_thread::yield();
      void* factory = nullptr;
      EXPECT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, &factory), S_OK);
      auto* cf = static_cast<IClassFactory*>(factory);
      void* object = nullptr;
      EXPECT_EQ(cf->CreateInstance(nullptr, IID_ICompress, &object), S_OK);
      cf->Release();
      auto* compress = static_cast<ICompress*>(object);
      for (int i = 0; i < 50; ++i) {
        ULONG len = static_cast<ULONG>(i);
        EXPECT_EQ(compress->CompressBound(&len), S_OK);
      }
      compress->Release();
    });
  }
  for (auto& thread : threads) thread.join();
  auto calls = FakeLogger::take();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4),
            (std::vector<std::string>{"register -1", "identity 7 ReductCom", "identity 7 Reduct", "flag 7 11 TraceOn"}));
  EXPECT_EQ(calls.size(), 4u + THREADS * (100u + 2u));
  EXPECT_EQ(ModuleLockCount(), 0);
  EXPECT_EQ(standin::loadAttempts().size(), 1u);
}

}  // namespace
}  // namespace reductcom_test

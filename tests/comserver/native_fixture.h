// Shared set-up of the native server tests: a fresh stand-in platform per
// test, the module attached as a loaded DLL would be, and two loggers to
// install: a recording fake (exact arguments, missing entry points,
// refused registration) and the stand-in Tracewell library itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "compress_interface.h"
#include "logger_client.h"
#include "module.h"
#include "platform/stand_in_control.h"
#include "reduct.h"

namespace reductcom_test {

using namespace reductcom;

inline const std::u16string LOGGER_KEY = u"HKLM\\SOFTWARE\\Corvane\\Framework\\Logger";
inline const std::u16string FRAMEWORK_KEY = u"HKLM\\SOFTWARE\\Corvane\\Framework";
inline const std::u16string LOGGER_DIR = u"C:\\Corvane\\Logger";
inline const std::u16string LOGGER_DLL = u"C:\\Corvane\\Logger\\Tracewell.dll";
inline const std::u16string MODULE_PATH = u"C:\\Program Files\\Corvane\\Reduct\\ReductCom.dll";

// A logger that records every call it gets, one text per call.
struct FakeLogger {
  static inline std::mutex lock;
  static inline std::vector<std::string> calls;
  static inline bool refuseRegistration = false;
  static inline std::int32_t clientId = 7;
  static inline std::int32_t flagId = 42;

  static void record(const std::string& call) {
    std::lock_guard guard(lock);
    calls.push_back(call);
  }
  static std::vector<std::string> take() {
    std::lock_guard guard(lock);
    auto out = calls;
    calls.clear();
    return out;
  }
  static void reset() {
    take();
    refuseRegistration = false;
    clientId = 7;
    flagId = 42;
  }

  static int registerClient(std::int32_t* id) {
    record("register " + std::to_string(*id));
    if (!refuseRegistration) *id = clientId;
    return 1;
  }
  static int setIdentity(std::int32_t id, const char16_t* name) {
    record("identity " + std::to_string(id) + " " + standin::toUtf8(name));
    return 1;
  }
  static std::int32_t registerFlag(std::int32_t id, std::int32_t kind, const char16_t* name) {
    record("flag " + std::to_string(id) + " " + std::to_string(kind) + " " + standin::toUtf8(name));
    return flagId;
  }
  static int logCustom2(std::int32_t id, std::int32_t flag, const char16_t* text) {
    record("line " + std::to_string(id) + " " + std::to_string(flag) + " " + standin::toUtf8(text));
    return 1;
  }
  static int unregisterClient(std::int32_t id) {
    record("unregister " + std::to_string(id));
    return 1;
  }

  // The library as the stand-in loads it; names in missing are not found.
  static standin::Library library(std::set<std::string> missing = {}) {
    return standin::Library{[missing](const char* name) -> void* {
                              std::string n = name;
                              if (missing.count(n)) return nullptr;
                              if (n == "REGISTERLOGGERCLIENT") return reinterpret_cast<void*>(&registerClient);
                              if (n == "SETIDENTITYNAME") return reinterpret_cast<void*>(&setIdentity);
                              if (n == "REGISTERLOGFLAG") return reinterpret_cast<void*>(&registerFlag);
                              if (n == "LOGCUSTOM2") return reinterpret_cast<void*>(&logCustom2);
                              if (n == "UNREGISTERLOGGERCLIENT") return reinterpret_cast<void*>(&unregisterClient);
                              return nullptr;
                            },
                            false};
  }
};

class NativeServer : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::reset();
    standin::setModulePath(MODULE_PATH);
    standin::addFile(MODULE_PATH);
    FakeLogger::reset();
  }

  void TearDown() override {
    if (m_attached) detach();
    EXPECT_EQ(standin::openKeyHandles(), 0) << "registry keys left open";
    EXPECT_EQ(standin::openFindHandles(), 0) << "file searches left open";
  }

  void attach() {
    DllMain(standin::serverModule(), DLL_PROCESS_ATTACH, nullptr);
    m_attached = true;
  }
  void detach() {
    DllMain(standin::serverModule(), DLL_PROCESS_DETACH, nullptr);
    m_attached = false;
  }

  // The fake logger, found through "InstallPath".
  static void installFakeLogger(std::set<std::string> missing = {}) {
    standin::setString(LOGGER_KEY, u"InstallPath", LOGGER_DIR);
    standin::installLibrary(LOGGER_DLL, FakeLogger::library(std::move(missing)));
  }

  IClassFactory* classFactory() {
    void* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_Reduct, IID_IClassFactory, &factory), S_OK);
    return static_cast<IClassFactory*>(factory);
  }

  ICompress* createCompress() {
    IClassFactory* factory = classFactory();
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICompress, &object), S_OK);
    factory->Release();
    return static_cast<ICompress*>(object);
  }

  // Lines the fake logger got, without the client id and flag id.
  static std::vector<std::string> lineTexts() {
    std::vector<std::string> texts;
    for (const auto& call : FakeLogger::take()) {
      if (call.rfind("line ", 0) != 0) continue;
      auto second = call.find(' ', call.find(' ', 5) + 1);
      texts.push_back(call.substr(second + 1));
    }
    return texts;
  }

  bool m_attached = false;
};

}  // namespace reductcom_test

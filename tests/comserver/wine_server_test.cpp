// ReductCom.dll on Windows (run under Wine in the build): registration by
// regsvr32, activation through the COM runtime, ICompress against zlib,
// the type library and resources, the lock count, aggregation, and what
// reaches the stand-in logger library. Each suite runs as its own process
// (see CMakeLists.txt), so every suite starts with the DLL not loaded.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "compress_interface.h"

namespace {

using reductcom::CLSID_Reduct;
using reductcom::IID_ICompress;
using reductcom::ICompress;

constexpr HRESULT MORE_DATA = static_cast<HRESULT>(0x800700EAu);
const wchar_t FRAMEWORK_KEY[] = L"SOFTWARE\\Corvane\\Framework";
const wchar_t LOGGER_KEY[] = L"SOFTWARE\\Corvane\\Framework\\Logger";
const wchar_t CLSID_TEXT[] = L"{5E3A7C21-9B4D-4F60-A1C8-72D94E0B6F13}";

std::wstring exeDir() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring text(path, n);
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

std::wstring dllPath() { return exeDir() + L"ReductCom.dll"; }
std::wstring loggerDir() { return exeDir() + L"logger"; }
std::wstring logPath() { return exeDir() + L"comserver_wine_test.log"; }

std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

void setRegistryText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

void setLevel(DWORD level) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, FRAMEWORK_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, L"ReductionLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
  RegCloseKey(handle);
}

void clearSettings() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane"); }

void startLog() {
  DeleteFileW(logPath().c_str());
  SetEnvironmentVariableW(L"TRACEWELL_LOG", logPath().c_str());
}

// The logger's lines without the client ids.
std::vector<std::string> logLines() {
  std::ifstream in(narrow(logPath()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    auto at = line.find("client=");
    if (at != std::string::npos) {
      auto space = line.find(' ', at);
      line = line.substr(0, at) + (space == std::string::npos ? "" : line.substr(space + 1));
      while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<BYTE> sampleData(size_t size) {
  std::vector<BYTE> data(size);
  unsigned state = 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    data[i] = static_cast<BYTE>(i % 300 < 150 ? i % 5 : (state >> 16) % 20);
  }
  return data;
}

DWORD runProcess(std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 0xFFFFFFFFu;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0xFFFFFFFFu;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

DWORD regsvr32(bool unregister) {
  return runProcess(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dllPath() + L"\"");
}

// Every value under HKEY_CLASSES_ROOT\root as "path|name|type|text", the
// REG_SZ text checked to carry exactly one terminating zero.
void dumpKey(HKEY parent, const std::wstring& path, std::vector<std::string>& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameChars = 256;
    BYTE data[2048];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string text;
    if (type == REG_SZ) {
      auto* chars = reinterpret_cast<const wchar_t*>(data);
      size_t count = size / 2;
      bool terminated = count > 0 && chars[count - 1] == 0 && std::wstring(chars, count - 1).find(L'\0') == std::wstring::npos;
      text = narrow(std::wstring(chars, terminated ? count - 1 : count)) + (terminated ? "" : "[bad size]");
    }
    out.push_back(narrow(path) + "|" + narrow(name) + "|" + (type == REG_SZ ? "REG_SZ" : std::to_string(type)) + "|" +
                  text);
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameChars = 256;
    if (RegEnumKeyExW(key, i, name, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  for (const auto& sub : subkeys) dumpKey(parent, path + L"\\" + sub, out);
}

std::vector<std::string> registration() {
  std::vector<std::string> out;
  dumpKey(HKEY_CLASSES_ROOT, L"Halvorn.Reduct.Compress.1", out);
  dumpKey(HKEY_CLASSES_ROOT, L"Halvorn.Reduct.Compress", out);
  dumpKey(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + CLSID_TEXT, out);
  std::sort(out.begin(), out.end());
  return out;
}

bool keyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void createClassesKey(const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// ---- registration ---------------------------------------------------------------

TEST(WineRegistration, Regsvr32WritesExactlyTheNineValuesAndRemovesTheTrees) {
  regsvr32(true);
  ASSERT_TRUE(registration().empty());
  ASSERT_EQ(regsvr32(false), 0u);
  ASSERT_EQ(regsvr32(false), 0u);  // twice leaves the same content
  const std::string clsid = narrow(CLSID_TEXT);
  std::vector<std::string> expected = {
      "Halvorn.Reduct.Compress.1||REG_SZ|Reduct",
      "Halvorn.Reduct.Compress.1\\CLSID||REG_SZ|" + clsid,
      "Halvorn.Reduct.Compress||REG_SZ|Reduct",
      "Halvorn.Reduct.Compress\\CLSID||REG_SZ|" + clsid,
      "CLSID\\" + clsid + "||REG_SZ|Reduct",
      "CLSID\\" + clsid + "\\ProgID||REG_SZ|Halvorn.Reduct.Compress.1",
      "CLSID\\" + clsid + "\\VersionIndependentProgID||REG_SZ|Halvorn.Reduct.Compress",
      "CLSID\\" + clsid + "\\InprocServer32||REG_SZ|" + narrow(dllPath()),
      "CLSID\\" + clsid + "\\InprocServer32|ThreadingModel|REG_SZ|both",
  };
  std::sort(expected.begin(), expected.end());
  auto found = registration();
  // The system may spell the module's path in another case.
  for (auto& row : found) {
    if (row.find("InprocServer32||") != std::string::npos) {
      auto cut = row.rfind('|') + 1;
      std::string tail = row.substr(cut), want = narrow(dllPath());
      if (CompareStringOrdinal(std::wstring(tail.begin(), tail.end()).c_str(), -1,
                               std::wstring(want.begin(), want.end()).c_str(), -1, TRUE) == CSTR_EQUAL) {
        row = row.substr(0, cut) + want;
      }
    }
  }
  EXPECT_EQ(found, expected);

  createClassesKey(std::wstring(L"CLSID\\") + CLSID_TEXT + L"\\Foreign\\Deeper");
  createClassesKey(L"Halvorn.Reduct.Compress\\Extra");
  EXPECT_EQ(regsvr32(true), 0u);
  EXPECT_TRUE(registration().empty());
  EXPECT_FALSE(keyExists(L"Halvorn.Reduct.Compress"));
  EXPECT_FALSE(keyExists(L"Halvorn.Reduct.Compress.1"));
  EXPECT_FALSE(keyExists(std::wstring(L"CLSID\\") + CLSID_TEXT));
  EXPECT_EQ(regsvr32(true), 0u);  // nothing registered: still success
}

TEST(WineRegistration, ResourcesCarryTheTypeLibraryStringAndSelfRegisterMark) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libAttr), S_OK);
  EXPECT_TRUE(IsEqualGUID(libAttr->guid, GUID{}));
  EXPECT_EQ(libAttr->lcid, 0x0409u);
  EXPECT_EQ(libAttr->wMajorVerNum, 0);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
#if defined(_WIN64)
  EXPECT_EQ(libAttr->syskind, SYS_WIN64);
#else
  EXPECT_EQ(libAttr->syskind, SYS_WIN32);
#endif
  library->ReleaseTLibAttr(libAttr);
  BSTR name = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"REDUCTLib");
  SysFreeString(name);

  ITypeInfo* info = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID_ICompress, &info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr->cFuncs, 3);
  EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION), 0);
  info->ReleaseTypeAttr(attr);
  BSTR help = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"ICompress");
  EXPECT_STREQ(help, L"ICompress Interface");
  SysFreeString(name);
  SysFreeString(help);
  const wchar_t* const methods[] = {L"CompressBound", L"Compress", L"Uncompress"};
  const short params[] = {1, 4, 4};
  for (UINT i = 0; i < 3; ++i) {
    FUNCDESC* func = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
    EXPECT_EQ(static_cast<unsigned>(func->memid), 0x60010000u + i);
    EXPECT_EQ(func->cParams, params[i]);
    EXPECT_EQ(func->callconv, CC_STDCALL);
    EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(info->GetDocumentation(func->memid, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, methods[i]);
    SysFreeString(name);
    info->ReleaseFuncDesc(func);
  }
  info->Release();

  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Reduct, &info), S_OK);
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
  info->ReleaseTypeAttr(attr);
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"Reduct");
  EXPECT_STREQ(help, L"Reduct Class");
  SysFreeString(name);
  SysFreeString(help);
  info->Release();
  library->Release();

  HMODULE data = LoadLibraryExW(dllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, nullptr);
  wchar_t text[64] = {};
  EXPECT_EQ(LoadStringW(data, 100, text, 64), 6);
  EXPECT_STREQ(text, L"Reduct");
  FreeLibrary(data);

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(dllPath().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> version(size);
  ASSERT_TRUE(GetFileVersionInfoW(dllPath().c_str(), 0, size, version.data()));
  void* value = nullptr;
  UINT valueSize = 0;
  EXPECT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister", &value, &valueSize));
}

// ---- through the COM runtime ------------------------------------------------------

class WineActivation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clearSettings();
    ASSERT_EQ(regsvr32(false), 0u);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  }
  static void TearDownTestSuite() {
    CoUninitialize();
    regsvr32(true);
    clearSettings();
  }
  void TearDown() override {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, FRAMEWORK_KEY, L"ReductionLevel");
  }

  static ICompress* create() {
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Reduct, nullptr, CLSCTX_INPROC_SERVER, IID_ICompress, &object), S_OK);
    return static_cast<ICompress*>(object);
  }
};

TEST_F(WineActivation, CreatesByClassIdAndByProgId) {
  for (const wchar_t* progId : {L"Halvorn.Reduct.Compress", L"Halvorn.Reduct.Compress.1"}) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << narrow(progId);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Reduct));
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICompress, &object), S_OK);
    static_cast<ICompress*>(object)->Release();
  }
  const IID IID_IDispatchLocal = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_Reduct, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatchLocal, &object),
            E_NOINTERFACE);
}

TEST_F(WineActivation, CompressMatchesZlibAtTheRegistryLevelAndRoundTrips) {
  const std::vector<BYTE> src = sampleData(100000);
  for (int level : {6, 1, 9, 0, -1}) {
    SCOPED_TRACE(level);
    setLevel(static_cast<DWORD>(level));
    ICompress* compress = create();
    ASSERT_NE(compress, nullptr);
    std::vector<BYTE> expected(compressBound(static_cast<uLong>(src.size())));
    uLongf expectedLen = static_cast<uLongf>(expected.size());
    ASSERT_EQ(compress2(expected.data(), &expectedLen, src.data(), static_cast<uLong>(src.size()), level), Z_OK);
    expected.resize(expectedLen);
    ULONG bound = static_cast<ULONG>(src.size());
    ASSERT_EQ(compress->CompressBound(&bound), S_OK);
    EXPECT_EQ(bound, compressBound(static_cast<uLong>(src.size())));
    std::vector<BYTE> coded(bound, 0xFF);
    ULONG codedLen = bound;
    ASSERT_EQ(compress->Compress(coded.data(), &codedLen, const_cast<BYTE*>(src.data()), static_cast<ULONG>(src.size())), S_OK);
    coded.resize(codedLen);
    EXPECT_EQ(coded, expected);
    std::vector<BYTE> decoded(src.size(), 0xFF);
    ULONG decodedLen = static_cast<ULONG>(decoded.size());
    ASSERT_EQ(compress->Uncompress(decoded.data(), &decodedLen, coded.data(), codedLen), S_OK);
    EXPECT_EQ(decoded, src);
    compress->Release();
  }
}

TEST_F(WineActivation, ZlibResultsBecomeHresults) {
  ICompress* compress = create();
  ASSERT_NE(compress, nullptr);
  std::vector<BYTE> src = sampleData(5000), coded(6000), out(5000);
  ULONG small = 10;
  EXPECT_EQ(compress->Compress(coded.data(), &small, src.data(), 5000), MORE_DATA);
  ULONG codedLen = 6000;
  ASSERT_EQ(compress->Compress(coded.data(), &codedLen, src.data(), 5000), S_OK);
  ULONG outLen = 4999;
  EXPECT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), MORE_DATA);
  std::vector<BYTE> junk(100, 0x77);
  outLen = 5000;
  EXPECT_EQ(compress->Uncompress(out.data(), &outLen, junk.data(), 100), E_FAIL);
  EXPECT_EQ(compress->CompressBound(nullptr), E_FAIL);
  EXPECT_EQ(compress->Compress(nullptr, &outLen, src.data(), 1), E_POINTER);
  std::vector<BYTE> emptyStream(64);
  ULONG empty = 64;
  EXPECT_EQ(compress->Compress(emptyStream.data(), &empty, src.data(), 0), S_OK);
  EXPECT_EQ(empty, 8u);
  compress->Release();

  setLevel(12);
  compress = create();
  ULONG len = 6000;
  EXPECT_EQ(compress->Compress(coded.data(), &len, src.data(), 5000), E_FAIL);
  outLen = 5000;
  EXPECT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), S_OK);
  EXPECT_EQ(out, src);
  compress->Release();
}

class TestOuter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualGUID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (IsEqualGUID(riid, IID_ICompress) && inner != nullptr) return inner->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
  virtual ~TestOuter() = default;

  int references = 1;
  IUnknown* inner = nullptr;
};

TEST_F(WineActivation, AggregatesIntoAnOuterObject) {
  TestOuter outer;
  void* inner = nullptr;
  void* compressObject = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Reduct, &outer, CLSCTX_INPROC_SERVER, IID_ICompress, &compressObject),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(CoCreateInstance(CLSID_Reduct, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &inner), S_OK);
  outer.inner = static_cast<IUnknown*>(inner);
  void* same = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, &same), S_OK);
  EXPECT_EQ(same, inner);
  outer.inner->Release();
  ASSERT_EQ(outer.inner->QueryInterface(IID_ICompress, &compressObject), S_OK);
  EXPECT_EQ(outer.references, 2);
  auto* compress = static_cast<ICompress*>(compressObject);
  std::vector<BYTE> src = sampleData(3000), coded(4000), out(3000);
  ULONG codedLen = 4000;
  ASSERT_EQ(compress->Compress(coded.data(), &codedLen, src.data(), 3000), S_OK);
  ULONG outLen = 3000;
  ASSERT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), S_OK);
  EXPECT_EQ(out, src);
  compress->Release();
  EXPECT_EQ(outer.references, 1);
  EXPECT_EQ(outer.inner->Release(), 0u);
}

// ---- trace lines through the COM runtime ----------------------------------------

TEST(WineTrace, LinesArriveWithTheirTextsInOrder) {
  clearSettings();
  ASSERT_EQ(regsvr32(false), 0u);
  setRegistryText(LOGGER_KEY, L"InstallPath", loggerDir());
  setLevel(9);
  startLog();
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  void* object = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_Reduct, nullptr, CLSCTX_INPROC_SERVER, IID_ICompress, &object), S_OK);
  auto* compress = static_cast<ICompress*>(object);
  std::vector<BYTE> src = sampleData(1000), coded(2000), out(1000);
  ULONG len = 1000;
  ASSERT_EQ(compress->CompressBound(&len), S_OK);
  ULONG codedLen = 2000;
  ASSERT_EQ(compress->Compress(coded.data(), &codedLen, src.data(), 1000), S_OK);
  ULONG small = 5;
  EXPECT_EQ(compress->Compress(coded.data() + 1000, &small, src.data(), 1000), MORE_DATA);
  ULONG outLen = 1000;
  ASSERT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), S_OK);
  compress->Release();
  setLevel(12);
  ASSERT_EQ(CoCreateInstance(CLSID_Reduct, nullptr, CLSCTX_INPROC_SERVER, IID_ICompress, &object), S_OK);
  compress = static_cast<ICompress*>(object);
  len = 1000;
  EXPECT_EQ(compress->Compress(coded.data(), &len, src.data(), 1000), E_FAIL);
  compress->Release();

  const std::string c = std::to_string(codedLen);
  const std::string prefix = "LOGCUSTOM2 identity=Reduct flag=1 text=";
  std::vector<std::string> expected = {
      "REGISTERLOGGERCLIENT",
      "SETIDENTITYNAME name=ReductCom",
      "SETIDENTITYNAME name=Reduct",
      "REGISTERLOGFLAG kind=11 name=TraceOn id=1",
      prefix + "CompressBound - pSrcLen(in) = 1000",
      prefix + "CompressBound - pSrcLen(out) = 1013",
      prefix + "Compress - Level = 9,pDestLen(in) = 2000,SrcLen = 1000",
      prefix + "Compress - pDestLen(out) = " + c + ",SrcLen = 1000",
      prefix + "Compress - Level = 9,pDestLen(in) = 5,SrcLen = 1000",
      prefix + "Uncompress - pDestLen(in) = 1000,SrcLen = " + c,
      prefix + "Uncompress - pDestLen(out) = 1000,SrcLen = " + c,
      prefix + "FinalRelease()",
      prefix + "~CReduct()",
      prefix + "Compress - Level = 12,pDestLen(in) = 1000,SrcLen = 1000",
      prefix + "FinalRelease()",
      prefix + "~CReduct()",
  };
  EXPECT_EQ(logLines(), expected);
  CoUninitialize();
  regsvr32(true);
  clearSettings();
}

// ---- the DLL loaded directly, a fresh module per test -----------------------------

class WineDirectLoad : public ::testing::Test {
 protected:
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

  void SetUp() override {
    clearSettings();
    startLog();
  }
  void TearDown() override {
    if (m_module != nullptr) unload();
    clearSettings();
  }

  void load() {
    ASSERT_EQ(GetModuleHandleW(L"ReductCom.dll"), nullptr) << "the module must start fresh";
    m_module = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(m_module, nullptr);
    m_getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, "DllGetClassObject")));
    m_canUnloadNow = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, "DllCanUnloadNow")));
    ASSERT_NE(m_getClassObject, nullptr);
    ASSERT_NE(m_canUnloadNow, nullptr);
  }
  void unload() {
    FreeLibrary(m_module);
    m_module = nullptr;
    EXPECT_EQ(GetModuleHandleW(L"ReductCom.dll"), nullptr);
  }
  IClassFactory* factory() {
    void* object = nullptr;
    EXPECT_EQ(m_getClassObject(CLSID_Reduct, IID_IClassFactory, &object), S_OK);
    return static_cast<IClassFactory*>(object);
  }

  HMODULE m_module = nullptr;
  GetClassObjectFn m_getClassObject = nullptr;
  CanUnloadNowFn m_canUnloadNow = nullptr;
};

TEST_F(WineDirectLoad, LockCountAndDllCanUnloadNow) {
  load();
  EXPECT_EQ(m_canUnloadNow(), S_OK);
  IClassFactory* cf = factory();
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);
  void* object = nullptr;
  ASSERT_EQ(cf->CreateInstance(nullptr, IID_ICompress, &object), S_OK);
  cf->Release();
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);
  static_cast<ICompress*>(object)->Release();
  EXPECT_EQ(m_canUnloadNow(), S_OK);
  cf = factory();
  cf->LockServer(FALSE);
  cf->Release();
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);  // the count went to -1
  cf = factory();
  cf->LockServer(TRUE);
  cf->Release();
  EXPECT_EQ(m_canUnloadNow(), S_OK);
  cf = factory();
  cf->LockServer(TRUE);
  cf->Release();
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);
  cf = factory();
  cf->LockServer(FALSE);
  cf->Release();
  EXPECT_EQ(m_canUnloadNow(), S_OK);
}

TEST_F(WineDirectLoad, LoggerPresentAtFirstCallAndTeardownAfterAFailedRequest) {
  setRegistryText(LOGGER_KEY, L"InstallPath", loggerDir() + L"\\");
  load();
  IClassFactory* cf = factory();
  IClassFactory* again = factory();
  again->Release();
  const IID IID_IDispatchLocal = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(cf->CreateInstance(nullptr, IID_IDispatchLocal, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  cf->Release();
  EXPECT_EQ(m_canUnloadNow(), S_OK);
  unload();
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "REGISTERLOGGERCLIENT",
                            "SETIDENTITYNAME name=ReductCom",
                            "SETIDENTITYNAME name=Reduct",
                            "REGISTERLOGFLAG kind=11 name=TraceOn id=1",
                            "LOGCUSTOM2 identity=Reduct flag=1 text=FinalRelease()",
                            "LOGCUSTOM2 identity=Reduct flag=1 text=~CReduct()",
                            "UNREGISTERLOGGERCLIENT",
                        }));
}

TEST_F(WineDirectLoad, LoggerAbsentThenInstalledLater) {
  setRegistryText(LOGGER_KEY, L"InstallPath", loggerDir() + L"\\not-there");
  load();
  IClassFactory* cf = factory();
  void* object = nullptr;
  ASSERT_EQ(cf->CreateInstance(nullptr, IID_ICompress, &object), S_OK);
  cf->Release();
  auto* compress = static_cast<ICompress*>(object);
  std::vector<BYTE> src = sampleData(2000), coded(3000), out(2000);
  ULONG len = 7;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  EXPECT_EQ(len, 20u);
  ULONG codedLen = 3000;
  ASSERT_EQ(compress->Compress(coded.data(), &codedLen, src.data(), 2000), S_OK);
  ULONG outLen = 2000;
  ASSERT_EQ(compress->Uncompress(out.data(), &outLen, coded.data(), codedLen), S_OK);
  EXPECT_EQ(out, src);
  EXPECT_TRUE(logLines().empty());

  setRegistryText(LOGGER_KEY, L"InstallPath", loggerDir());
  len = 0;
  EXPECT_EQ(compress->CompressBound(&len), S_OK);
  compress->Release();
  unload();
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "REGISTERLOGGERCLIENT",
                            "SETIDENTITYNAME name=ReductCom",
                            "LOGCUSTOM2 identity=ReductCom flag=0 text=CompressBound - pSrcLen(in) = 0",
                            "LOGCUSTOM2 identity=ReductCom flag=0 text=CompressBound - pSrcLen(out) = 13",
                            "LOGCUSTOM2 identity=ReductCom flag=0 text=FinalRelease()",
                            "LOGCUSTOM2 identity=ReductCom flag=0 text=~CReduct()",
                            "UNREGISTERLOGGERCLIENT",
                        }));
}

}  // namespace

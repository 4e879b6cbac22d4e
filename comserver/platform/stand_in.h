// A small stand-in for the Windows services the server calls, for native
// builds: an in-memory registry that checks access masks and keeps value
// types, a table of loadable libraries, module file names, a file lookup,
// interlocked counters, critical sections, UTF-16 text, HRESULTs, GUIDs and
// the IUnknown / IClassFactory shapes. Only what the server needs, with the
// same names and argument orders, so its sources compile unchanged.
// Tests steer it through stand_in_control.h, including failures a real
// system rarely shows.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using HRESULT = std::int32_t;
using LSTATUS = LONG;
using REGSAM = DWORD;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPDWORD = DWORD*;
using PHKEY = struct StandInKeyHandle**;
using HKEY = struct StandInKeyHandle*;
using HANDLE = void*;
using HMODULE = struct StandInModule*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_KEY_DELETED = 1018;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(~static_cast<std::uintptr_t>(0)))

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;
using REFGUID = const GUID&;

bool IsEqualGUID(REFGUID a, REFGUID b);

extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : public IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  WCHAR cFileName[MAX_PATH];
};

struct CRITICAL_SECTION {
  void* lock;
};

// Threads and counters.
LONG InterlockedIncrement(LONG volatile* target);
LONG InterlockedDecrement(LONG volatile* target);
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
DWORD GetLastError();
void SetLastError(DWORD error);

// Registry.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                        REGSAM access, void* security, PHKEY result, LPDWORD disposition);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, BYTE* data,
                         LPDWORD dataSize);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataSize);
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                      LPWSTR keyClass, LPDWORD classChars, void* lastWriteTime);
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LSTATUS RegCloseKey(HKEY key);

// Modules and files.
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
BOOL DisableThreadLibraryCalls(HMODULE module);
HANDLE FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* found);
BOOL FindClose(HANDLE search);
int LoadStringW(HINSTANCE instance, unsigned id, LPWSTR buffer, int bufferChars);

// COM helpers.
HRESULT StringFromCLSID(REFCLSID clsid, LPWSTR* text);
void CoTaskMemFree(void* memory);

// The module's string table in native builds: rows {id, text}, ended by a
// row with a null text. Supplied by the server's native resources.
struct StandInString {
  unsigned id;
  const char16_t* text;
};
extern const StandInString StandInModuleStrings[];

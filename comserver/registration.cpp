// The registry entries of the served class under HKEY_CLASSES_ROOT: the two
// ProgIDs and the CLSID key with its ProgID, version-independent ProgID and
// InprocServer32 ("both"). Nine values in all, written and removed here.
#include "compress_interface.h"
#include "module.h"
#include "text_buffer.h"

namespace reductcom {

namespace {

const WCHAR PROG_ID[] = UTF16("Halvorn.Reduct.Compress.1");
const WCHAR VERSION_INDEPENDENT_PROG_ID[] = UTF16("Halvorn.Reduct.Compress");
constexpr unsigned DESCRIPTION_ID = 100;
constexpr DWORD THREADING_BOTH = 2;
constexpr DWORD THREADING_APARTMENT = 1;
constexpr REGSAM READ_WRITE = KEY_READ | KEY_WRITE;

LONG setText(HKEY key, const WCHAR* valueName, const WCHAR* text) {
  auto bytes = static_cast<DWORD>((TextLength(text) + 1) * sizeof(WCHAR));
  return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG WriteSubkeyValue(HKEY parent, const WCHAR* subKey, const WCHAR* text, const WCHAR* valueName) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr);
  if (result != ERROR_SUCCESS) return result;
  result = setText(key, valueName, text);
  RegCloseKey(key);
  return result;
}

HRESULT RegisterProgIdKey(const WCHAR* clsidText, const WCHAR* progId, const WCHAR* description) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CLASSES_ROOT, progId, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return HResultFromWin32(result);
  setText(key, nullptr, description);
  WriteSubkeyValue(key, UTF16("CLSID"), clsidText, nullptr);
  RegCloseKey(key);
  return S_OK;
}

LONG DeleteKeyTree(HKEY parent, const WCHAR* name) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(parent, name, 0, READ_WRITE, &key);
  if (result != ERROR_SUCCESS) return result;
  // Each pass removes the subkey it found, so index 0 is always the next.
  WCHAR subKey[256];
  DWORD size = 256;
  while (RegEnumKeyExW(key, 0, subKey, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    result = DeleteKeyTree(key, subKey);
    if (result != ERROR_SUCCESS) {
      RegCloseKey(key);
      return result;
    }
    size = 256;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(parent, name);
}

HRESULT Register(const WCHAR* progId, const WCHAR* versionIndependentProgId, unsigned descriptionId,
                 DWORD threadingFlags) {
  WCHAR description[256];
  if (LoadStringW(ModuleInstance(), descriptionId, description, 256) <= 0) description[0] = 0;
  // The full module path, however long: a cut path would register a file
  // that does not exist.
  TextBuffer modulePath;
  if (!GetModulePath(ModuleInstance(), modulePath)) {
    DWORD error = GetLastError();
    return error != 0 ? HResultFromWin32(static_cast<LONG>(error)) : E_FAIL;
  }
  WCHAR* clsidText = nullptr;
  HRESULT hr = StringFromCLSID(CLSID_Reduct, &clsidText);
  if (FAILED(hr)) return hr;

  HKEY clsidRoot = nullptr;
  HKEY classKey = nullptr;
  hr = RegisterProgIdKey(clsidText, progId, description);
  if (SUCCEEDED(hr)) hr = RegisterProgIdKey(clsidText, versionIndependentProgId, description);
  if (SUCCEEDED(hr)) {
    LONG result = RegOpenKeyExW(HKEY_CLASSES_ROOT, UTF16("CLSID"), 0, READ_WRITE, &clsidRoot);
    if (result == ERROR_SUCCESS) {
      result = RegCreateKeyExW(clsidRoot, clsidText, 0, nullptr, REG_OPTION_NON_VOLATILE, READ_WRITE, nullptr,
                               &classKey, nullptr);
    }
    hr = HResultFromWin32(result);
  }
  if (SUCCEEDED(hr)) {
    setText(classKey, nullptr, description);
    WriteSubkeyValue(classKey, UTF16("ProgID"), progId, nullptr);
    WriteSubkeyValue(classKey, UTF16("VersionIndependentProgID"), versionIndependentProgId, nullptr);
    WriteSubkeyValue(classKey, UTF16("InprocServer32"), modulePath.c_str(), nullptr);
    const WCHAR* threadingModel = nullptr;
    if (threadingFlags & THREADING_BOTH) threadingModel = UTF16("both");
    else if (threadingFlags & THREADING_APARTMENT) threadingModel = UTF16("Apartment");
    if (threadingModel != nullptr) {
      WriteSubkeyValue(classKey, UTF16("InprocServer32"), threadingModel, UTF16("ThreadingModel"));
    }
  }
  if (classKey != nullptr) RegCloseKey(classKey);
  if (clsidRoot != nullptr) RegCloseKey(clsidRoot);
  CoTaskMemFree(clsidText);
  return hr;
}

HRESULT Unregister(const WCHAR* progId, const WCHAR* versionIndependentProgId) {
  if (progId[0] != 0) DeleteKeyTree(HKEY_CLASSES_ROOT, progId);
  if (versionIndependentProgId[0] != 0) DeleteKeyTree(HKEY_CLASSES_ROOT, versionIndependentProgId);
  WCHAR* clsidText = nullptr;
  if (SUCCEEDED(StringFromCLSID(CLSID_Reduct, &clsidText))) {
    HKEY clsidRoot = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, UTF16("CLSID"), 0, READ_WRITE, &clsidRoot) == ERROR_SUCCESS) {
      DeleteKeyTree(clsidRoot, clsidText);
      RegCloseKey(clsidRoot);
    }
    CoTaskMemFree(clsidText);
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterClassKeys(BOOL doRegister) {
  if (doRegister) return Register(PROG_ID, VERSION_INDEPENDENT_PROG_ID, DESCRIPTION_ID, THREADING_BOTH);
  return Unregister(PROG_ID, VERSION_INDEPENDENT_PROG_ID);
}

}  // namespace reductcom

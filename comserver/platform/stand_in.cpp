// Native stand-in for the Windows services of stand_in.h. One lock guards
// all of its state, so the server may call it from several threads at once.
#include "stand_in.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "stand_in_control.h"

struct StandInModule {
  std::u16string path;
  int references = 0;
  standin::Library library;
};

struct StandInKey {
  std::u16string path;
  bool deleted = false;
  REGSAM denied = 0;
  // Keyed by the lower-case name; the stored pair keeps the name's own case.
  std::map<std::u16string, std::pair<std::u16string, std::shared_ptr<StandInKey>>> subkeys;
  std::map<std::u16string, std::pair<std::u16string, standin::RegValue>> values;
};

struct StandInKeyHandle {
  std::shared_ptr<StandInKey> key;
  REGSAM access = 0;
};

namespace {

std::u16string lower(std::u16string text) {
  for (auto& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

struct State {
  std::recursive_mutex lock;
  std::shared_ptr<StandInKey> classesRoot;
  std::shared_ptr<StandInKey> machineRoot;
  std::set<StandInKeyHandle*> handles;
  standin::RegistryFault fault;
  std::map<std::u16string, standin::Library> installed;
  std::map<std::u16string, void*> sharedObjects;
  std::set<StandInModule*> loaded;
  std::vector<std::u16string> loadAttempts;
  int freeCalls = 0;
  std::u16string modulePath;
  std::set<std::u16string> files;
  int findHandles = 0;

  State() { clear(); }

  void clear() {
    classesRoot = std::make_shared<StandInKey>();
    classesRoot->path = u"HKCR";
    machineRoot = std::make_shared<StandInKey>();
    machineRoot->path = u"HKLM";
    for (auto* h : handles) delete h;
    handles.clear();
    fault = nullptr;
    installed.clear();
    for (auto* m : loaded) delete m;
    loaded.clear();
    // Shared objects stay open: closing one would drop the memory its
    // statics still point to, and tests load the same ones again.
    loadAttempts.clear();
    freeCalls = 0;
    modulePath = u"C:\\Program Files\\Corvane\\Reduct\\ReductCom.dll";
    files = {lower(modulePath)};
    findHandles = 0;
  }
};

State& state() {
  static State* s = new State;  // lives to process exit, like the system's services
  return *s;
}

StandInModule& serverModuleRecord() {
  static StandInModule module;
  return module;
}

thread_local DWORD lastError = 0;

std::vector<std::u16string> splitPath(const char16_t* path) {
  std::vector<std::u16string> parts;
  if (path == nullptr) return parts;
  std::u16string part;
  for (const char16_t* p = path;; ++p) {
    if (*p == u'\\' || *p == 0) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part.push_back(*p);
    }
  }
  return parts;
}

std::shared_ptr<StandInKey> rootFor(HKEY key) {
  State& s = state();
  if (key == HKEY_CLASSES_ROOT) return s.classesRoot;
  if (key == HKEY_LOCAL_MACHINE) return s.machineRoot;
  return nullptr;
}

// The key a handle names, and the access the handle was opened with.
std::shared_ptr<StandInKey> resolveHandle(HKEY key, REGSAM* access) {
  if (auto root = rootFor(key)) {
    *access = KEY_ALL_ACCESS;
    return root;
  }
  State& s = state();
  if (s.handles.count(key) == 0) return nullptr;
  *access = key->access;
  return key->key;
}

std::shared_ptr<StandInKey> child(const std::shared_ptr<StandInKey>& parent, const std::u16string& name) {
  auto it = parent->subkeys.find(lower(name));
  return it == parent->subkeys.end() ? nullptr : it->second.second;
}

LONG checkFault(standin::RegCall call, const std::u16string& path, REGSAM access) {
  State& s = state();
  return s.fault ? s.fault(call, path, access) : ERROR_SUCCESS;
}

// The checks every value call makes on its key, in the order the system
// makes them: a valid handle, a key not deleted, the access right the call
// needs, then any fault a test injected for the call.
LONG valueCallTarget(HKEY key, REGSAM needed, standin::RegCall call, std::shared_ptr<StandInKey>& target) {
  REGSAM access = 0;
  target = resolveHandle(key, &access);
  if (!target) return ERROR_INVALID_HANDLE;
  if (target->deleted) return ERROR_KEY_DELETED;
  if ((access & needed) == 0) return ERROR_ACCESS_DENIED;
  return checkFault(call, target->path, access);
}

HKEY newHandle(std::shared_ptr<StandInKey> key, REGSAM access) {
  auto* handle = new StandInKeyHandle{std::move(key), access};
  state().handles.insert(handle);
  return handle;
}

std::shared_ptr<StandInKey> keyAt(const std::u16string& path, bool create) {
  State& s = state();
  auto parts = splitPath(path.c_str());
  if (parts.empty()) return nullptr;
  std::shared_ptr<StandInKey> key;
  if (lower(parts[0]) == u"hkcr") key = s.classesRoot;
  else if (lower(parts[0]) == u"hklm") key = s.machineRoot;
  else return nullptr;
  for (size_t i = 1; i < parts.size(); ++i) {
    auto next = child(key, parts[i]);
    if (!next) {
      if (!create) return nullptr;
      next = std::make_shared<StandInKey>();
      next->path = key->path + u"\\" + parts[i];
      key->subkeys[lower(parts[i])] = {parts[i], next};
    }
    key = next;
  }
  return key;
}

}  // namespace

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool IsEqualGUID(REFGUID a, REFGUID b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

LONG InterlockedIncrement(LONG volatile* target) { return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(LONG volatile* target) { return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST); }

void InitializeCriticalSection(CRITICAL_SECTION* section) { section->lock = new std::recursive_mutex; }
void EnterCriticalSection(CRITICAL_SECTION* section) {
  static_cast<std::recursive_mutex*>(section->lock)->lock();
}
void LeaveCriticalSection(CRITICAL_SECTION* section) {
  static_cast<std::recursive_mutex*>(section->lock)->unlock();
}
void DeleteCriticalSection(CRITICAL_SECTION* section) {
  delete static_cast<std::recursive_mutex*>(section->lock);
  section->lock = nullptr;
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
  State& s = state();
  std::lock_guard guard(s.lock);
  *result = nullptr;
  REGSAM parentAccess = 0;
  auto target = resolveHandle(key, &parentAccess);
  if (!target) return ERROR_INVALID_HANDLE;
  if (target->deleted) return ERROR_KEY_DELETED;
  for (const auto& part : splitPath(subKey)) {
    target = child(target, part);
    if (!target) return ERROR_FILE_NOT_FOUND;
  }
  if (LONG e = checkFault(standin::RegCall::Open, target->path, access)) return e;
  if ((target->denied & access) != 0) return ERROR_ACCESS_DENIED;
  *result = newHandle(target, access);
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                        LPDWORD) {
  State& s = state();
  std::lock_guard guard(s.lock);
  *result = nullptr;
  REGSAM parentAccess = 0;
  auto target = resolveHandle(key, &parentAccess);
  if (!target) return ERROR_INVALID_HANDLE;
  if (target->deleted) return ERROR_KEY_DELETED;
  auto parts = splitPath(subKey);
  std::u16string path = target->path;
  for (const auto& part : parts) path += u"\\" + part;
  if (LONG e = checkFault(standin::RegCall::Create, path, access)) return e;
  for (const auto& part : parts) {
    auto next = child(target, part);
    if (!next) {
      next = std::make_shared<StandInKey>();
      next->path = target->path + u"\\" + part;
      target->subkeys[lower(part)] = {part, next};
    }
    target = next;
  }
  if ((target->denied & access) != 0) return ERROR_ACCESS_DENIED;
  *result = newHandle(target, access);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, BYTE* data, LPDWORD dataSize) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::shared_ptr<StandInKey> target;
  if (LONG e = valueCallTarget(key, KEY_QUERY_VALUE, standin::RegCall::Query, target)) return e;
  auto it = target->values.find(lower(valueName ? valueName : u""));
  if (it == target->values.end()) return ERROR_FILE_NOT_FOUND;
  const auto& value = it->second.second;
  if (type) *type = value.type;
  auto needed = static_cast<DWORD>(value.data.size());
  if (data == nullptr) {
    if (dataSize) *dataSize = needed;
    return ERROR_SUCCESS;
  }
  if (dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (*dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  std::copy(value.data.begin(), value.data.end(), data);
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::shared_ptr<StandInKey> target;
  if (LONG e = valueCallTarget(key, KEY_SET_VALUE, standin::RegCall::Set, target)) return e;
  std::u16string name = valueName ? valueName : u"";
  target->values[lower(name)] = {name, standin::RegValue{type, std::vector<BYTE>(data, data + dataSize)}};
  return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPWSTR, LPDWORD, void*) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::shared_ptr<StandInKey> target;
  if (LONG e = valueCallTarget(key, KEY_ENUMERATE_SUB_KEYS, standin::RegCall::Enumerate, target)) return e;
  if (index >= target->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = target->subkeys.begin();
  std::advance(it, index);
  const std::u16string& found = it->second.first;
  if (*nameChars <= found.size()) {
    *nameChars = static_cast<DWORD>(found.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::copy(found.begin(), found.end(), name);
  name[found.size()] = 0;
  *nameChars = static_cast<DWORD>(found.size());
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  State& s = state();
  std::lock_guard guard(s.lock);
  REGSAM access = 0;
  auto parent = resolveHandle(key, &access);
  if (!parent) return ERROR_INVALID_HANDLE;
  auto parts = splitPath(subKey);
  if (parts.empty()) return ERROR_INVALID_PARAMETER;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = child(parent, parts[i]);
    if (!parent) return ERROR_FILE_NOT_FOUND;
  }
  auto target = child(parent, parts.back());
  if (!target) return ERROR_FILE_NOT_FOUND;
  if (LONG e = checkFault(standin::RegCall::Delete, target->path, 0)) return e;
  if (!target->subkeys.empty()) return ERROR_ACCESS_DENIED;
  target->deleted = true;
  parent->subkeys.erase(lower(parts.back()));
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  State& s = state();
  std::lock_guard guard(s.lock);
  if (rootFor(key)) return ERROR_SUCCESS;
  if (s.handles.erase(key) == 0) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::u16string path = fileName;
  s.loadAttempts.push_back(path);
  for (auto* module : s.loaded) {
    if (lower(module->path) == lower(path)) {
      ++module->references;
      return module;
    }
  }
  auto it = s.installed.find(lower(path));
  if (it == s.installed.end()) {
    lastError = ERROR_MOD_NOT_FOUND;
    return nullptr;
  }
  auto* module = new StandInModule{path, 1, it->second};
  s.loaded.insert(module);
  return module;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  State& s = state();
  std::lock_guard guard(s.lock);
  if (s.loaded.count(module) == 0 || !module->library.resolve) return nullptr;
  return reinterpret_cast<FARPROC>(module->library.resolve(name));
}

BOOL FreeLibrary(HMODULE module) {
  State& s = state();
  std::lock_guard guard(s.lock);
  ++s.freeCalls;
  if (s.loaded.count(module) == 0) {
    lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  auto it = s.installed.find(lower(module->path));
  if (module->library.failFree || (it != s.installed.end() && it->second.failFree)) {
    lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (--module->references == 0) {
    s.loaded.erase(module);
    delete module;
  }
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::u16string path;
  if (module == &serverModuleRecord() || module == nullptr) path = s.modulePath;
  else if (s.loaded.count(module)) path = module->path;
  else {
    lastError = ERROR_MOD_NOT_FOUND;
    return 0;
  }
  if (size == 0) {
    lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  // Like current systems: a path that does not fit is cut, terminated, and
  // the full size is returned with ERROR_INSUFFICIENT_BUFFER.
  if (path.size() >= size) {
    std::copy(path.begin(), path.begin() + (size - 1), fileName);
    fileName[size - 1] = 0;
    lastError = ERROR_INSUFFICIENT_BUFFER;
    return size;
  }
  std::copy(path.begin(), path.end(), fileName);
  fileName[path.size()] = 0;
  return static_cast<DWORD>(path.size());
}

BOOL DisableThreadLibraryCalls(HMODULE) { return TRUE; }

HANDLE FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* found) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::u16string path = fileName;
  if (s.files.count(lower(path)) == 0) {
    lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  auto slash = path.find_last_of(u'\\');
  std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  name.resize(std::min<size_t>(name.size(), MAX_PATH - 1));
  found->dwFileAttributes = 0x80;
  std::copy(name.begin(), name.end(), found->cFileName);
  found->cFileName[name.size()] = 0;
  ++s.findHandles;
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x1000 + s.findHandles));
}

BOOL FindClose(HANDLE search) {
  State& s = state();
  std::lock_guard guard(s.lock);
  if (search == INVALID_HANDLE_VALUE || s.findHandles == 0) return FALSE;
  --s.findHandles;
  return TRUE;
}

int LoadStringW(HINSTANCE, unsigned id, LPWSTR buffer, int bufferChars) {
  for (const StandInString* row = StandInModuleStrings; row->text != nullptr; ++row) {
    if (row->id != id) continue;
    if (bufferChars <= 0) return 0;
    int n = 0;
    while (row->text[n] != 0 && n < bufferChars - 1) {
      buffer[n] = row->text[n];
      ++n;
    }
    buffer[n] = 0;
    return n;
  }
  if (bufferChars > 0) buffer[0] = 0;
  return 0;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPWSTR* text) {
  char narrow[40];
  std::snprintf(narrow, sizeof narrow, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(clsid.Data1), static_cast<unsigned>(clsid.Data2),
                static_cast<unsigned>(clsid.Data3), clsid.Data4[0], clsid.Data4[1], clsid.Data4[2],
                clsid.Data4[3], clsid.Data4[4], clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
  auto* out = new (std::nothrow) char16_t[39];
  if (out == nullptr) return E_OUTOFMEMORY;
  for (int i = 0; i < 39; ++i) out[i] = static_cast<char16_t>(narrow[i]);
  *text = out;
  return S_OK;
}

// Only StringFromCLSID hands out task memory in the stand-in.
void CoTaskMemFree(void* memory) { delete[] static_cast<char16_t*>(memory); }

namespace standin {

void reset() {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.clear();
}

HMODULE serverModule() { return &serverModuleRecord(); }

void setRegistryFault(RegistryFault fault) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.fault = std::move(fault);
}

void denyAccess(const std::u16string& path, REGSAM bits) {
  State& s = state();
  std::lock_guard guard(s.lock);
  keyAt(path, true)->denied = bits;
}

void setValue(const std::u16string& path, const std::u16string& name, DWORD type, std::vector<BYTE> data) {
  State& s = state();
  std::lock_guard guard(s.lock);
  keyAt(path, true)->values[lower(name)] = {name, RegValue{type, std::move(data)}};
}

void setString(const std::u16string& path, const std::u16string& name, const std::u16string& text) {
  std::vector<BYTE> bytes;
  for (char16_t c : text + u'\0') {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  setValue(path, name, REG_SZ, std::move(bytes));
}

void setDword(const std::u16string& path, const std::u16string& name, std::uint32_t value) {
  setValue(path, name, REG_DWORD,
           {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)});
}

bool keyExists(const std::u16string& path) {
  State& s = state();
  std::lock_guard guard(s.lock);
  return keyAt(path, false) != nullptr;
}

void createKey(const std::u16string& path) {
  State& s = state();
  std::lock_guard guard(s.lock);
  keyAt(path, true);
}

namespace {
void dumpKey(const StandInKey& key, std::vector<std::string>& out) {
  for (const auto& entry : key.values) {
    const auto& [name, value] = entry.second;
    std::string data;
    if (value.type == REG_SZ) {
      std::u16string text;
      for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
        text.push_back(static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8)));
      }
      if (!text.empty() && text.back() == 0) text.pop_back();
      else data = "[unterminated]";
      data = toUtf8(text) + data;
    } else {
      char hex[3];
      for (BYTE b : value.data) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        data += hex;
      }
    }
    std::string type = value.type == REG_SZ ? "REG_SZ" : value.type == REG_DWORD ? "REG_DWORD"
                                                                                  : std::to_string(value.type);
    out.push_back(toUtf8(key.path) + "|" + toUtf8(name) + "|" + type + "|" + data);
  }
  for (const auto& entry : key.subkeys) dumpKey(*entry.second.second, out);
}
}  // namespace

std::vector<std::string> dumpRegistry(const std::u16string& root) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::vector<std::string> out;
  if (auto key = keyAt(root, false)) dumpKey(*key, out);
  std::sort(out.begin(), out.end());
  return out;
}

int openKeyHandles() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return static_cast<int>(s.handles.size());
}

void installLibrary(const std::u16string& path, Library library) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.installed[lower(path)] = std::move(library);
}

void installSharedObject(const std::u16string& path, const std::string& soPath) {
  State& s = state();
  std::lock_guard guard(s.lock);
  std::u16string key = toUtf16(soPath);
  void* handle = s.sharedObjects.count(key) ? s.sharedObjects[key] : dlopen(soPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "stand-in: cannot open %s: %s\n", soPath.c_str(), dlerror());
    return;
  }
  s.sharedObjects[key] = handle;
  s.installed[lower(path)] = Library{[handle](const char* name) { return dlsym(handle, name); }, false};
}

void uninstallLibrary(const std::u16string& path) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.installed.erase(lower(path));
}

void setFreeLibraryFails(const std::u16string& path, bool fails) {
  State& s = state();
  std::lock_guard guard(s.lock);
  if (auto it = s.installed.find(lower(path)); it != s.installed.end()) it->second.failFree = fails;
  for (auto* module : s.loaded) {
    if (lower(module->path) == lower(path)) module->library.failFree = fails;
  }
}

std::vector<std::u16string> loadAttempts() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.loadAttempts;
}

int freeCalls() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.freeCalls;
}

int loadedLibraries() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return static_cast<int>(s.loaded.size());
}

void setModulePath(const std::u16string& path) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.modulePath = path;
}

void addFile(const std::u16string& path) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.files.insert(lower(path));
}

void removeFile(const std::u16string& path) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.files.erase(lower(path));
}

int openFindHandles() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.findHandles;
}

std::string toUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string toUtf16(const std::string& text) {
  std::u16string out;
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));  // the tests' texts are ASCII
  return out;
}

}  // namespace standin

#include "logger_client.h"

#include <cstdarg>

#include "module.h"
#include "text_buffer.h"

#if defined(_WIN32)
#define LOGGER_CALL __cdecl
#else
#define LOGGER_CALL
#endif

namespace reductcom {

std::atomic<std::int32_t> TraceFlagId{0};
std::atomic<bool> LoggerSetupDone{false};

namespace {

// The logger's entry points, bound in this order; the numbers below are
// the slots of the ones this module calls.
const char* const ENTRY_POINT_NAMES[LOGGER_ENTRY_POINTS] = {
    "LOGSTART",         "LOGSTOP",           "SETIDENTITYNAME",     "ADDINSTANCENAME",
    "REMOVEINSTANCENAME", "REMOVEINSTANCENAME1", "REGISTERLOGFLAG",   "REGISTERLOGFLAGEX",
    "LOGERROR",         "LOGERROR1",         "LOGWARNING",          "LOGWARNING1",
    "LOGINFO",          "LOGINFO1",          "LOGTRACE",            "LOGTRACE1",
    "LOGSTARTSTOP",     "LOGSTARTSTOP1",     "LOGENTRYEXIT",        "LOGENTRYEXIT1",
    "LOGTHREADSTARTSTOP", "LOGTHREADSTARTSTOP1", "LOGSQL",          "LOGSQL1",
    "LOGCONNECTION",    "LOGCONNECTION1",    "LOGCTORDTOR",         "LOGCTORDTOR1",
    "LOGREFCOUNT",      "LOGREFCOUNT1",      "LOGCUSTOM",           "LOGCUSTOM1",
    "LOGCUSTOM2",       "LOGCUSTOM3",        "GETLOGFLAG",          "GETIDENTITYNAME",
    "GETINSTANCENAME",  "REGISTERLOGGERCLIENT", "UNREGISTERLOGGERCLIENT", "LOGFLAGLOG",
};
constexpr int SLOT_SETIDENTITYNAME = 2;
constexpr int SLOT_REGISTERLOGFLAG = 6;
constexpr int SLOT_LOGCUSTOM2 = 32;
constexpr int SLOT_REGISTERLOGGERCLIENT = 37;
constexpr int SLOT_UNREGISTERLOGGERCLIENT = 38;

using RegisterLoggerClientFn = int(LOGGER_CALL*)(std::int32_t* clientId);
using SetIdentityNameFn = int(LOGGER_CALL*)(std::int32_t clientId, const WCHAR* name);
using RegisterLogFlagFn = std::int32_t(LOGGER_CALL*)(std::int32_t clientId, std::int32_t kind, const WCHAR* name);
using LogCustom2Fn = int(LOGGER_CALL*)(std::int32_t clientId, std::int32_t flagId, const WCHAR* text);
using UnregisterLoggerClientFn = int(LOGGER_CALL*)(std::int32_t clientId);

constexpr size_t TRACE_TEXT_CHARS = 8192;
constexpr DWORD INSTALL_PATH_CHARS = 262;
const WCHAR LOGGER_KEY[] = UTF16("SOFTWARE\\Corvane\\Framework\\Logger");
const WCHAR LOGGER_FILE[] = UTF16("Tracewell.dll");

LoggerClient g_client;
bool g_clientConstructed = false;
// Serialises loading, registration, the record's construction and the
// first-call setup. Lines of a registered client never take it.
CRITICAL_SECTION g_loggerLock;

class LoggerLock {
 public:
  LoggerLock() { EnterCriticalSection(&g_loggerLock); }
  ~LoggerLock() { LeaveCriticalSection(&g_loggerLock); }
  LoggerLock(const LoggerLock&) = delete;
  LoggerLock& operator=(const LoggerLock&) = delete;
};

template <typename Fn>
Fn entryPoint(int slot) {
  return reinterpret_cast<Fn>(g_client.entryPoints[slot]);
}

void clearClient() {
  g_client.module = nullptr;
  g_client.clientId.store(-1, std::memory_order_relaxed);
  for (auto& slot : g_client.entryPoints) slot = nullptr;
}

void appendChar(WCHAR* out, size_t outChars, size_t& n, WCHAR c) {
  if (n + 1 < outChars) out[n++] = c;
}

void appendNumber(WCHAR* out, size_t outChars, size_t& n, std::uint32_t value, bool negative, unsigned base) {
  WCHAR digits[12];
  int count = 0;
  do {
    unsigned digit = value % base;
    digits[count++] = static_cast<WCHAR>(digit < 10 ? UTF16('0') + digit : UTF16('a') + digit - 10);
    value /= base;
  } while (value != 0);
  if (negative) appendChar(out, outChars, n, UTF16('-'));
  while (count > 0) appendChar(out, outChars, n, digits[--count]);
}

void formatText(WCHAR* out, size_t outChars, const WCHAR* format, va_list args) {
  size_t n = 0;
  for (const WCHAR* p = format; *p != 0; ++p) {
    if (*p != UTF16('%')) {
      appendChar(out, outChars, n, *p);
      continue;
    }
    WCHAR conversion = *++p;
    if (conversion == UTF16('d')) {
      int value = va_arg(args, int);
      auto magnitude = static_cast<std::uint32_t>(value);
      if (value < 0) magnitude = 0u - magnitude;
      appendNumber(out, outChars, n, magnitude, value < 0, 10);
    } else if (conversion == UTF16('u')) {
      appendNumber(out, outChars, n, va_arg(args, unsigned), false, 10);
    } else if (conversion == UTF16('x')) {
      appendNumber(out, outChars, n, va_arg(args, unsigned), false, 16);
    } else if (conversion == UTF16('s')) {
      const WCHAR* text = va_arg(args, const WCHAR*);
      for (; text != nullptr && *text != 0; ++text) appendChar(out, outChars, n, *text);
    } else if (conversion == 0) {
      break;
    } else {
      appendChar(out, outChars, n, conversion);
    }
  }
  out[n] = 0;
}

}  // namespace

void InitializeLoggerClient() {
  InitializeCriticalSection(&g_loggerLock);
  clearClient();
  g_clientConstructed = false;
  TraceFlagId.store(0);
  LoggerSetupDone.store(false);
}

LoggerClient& GetLoggerClient() {
  LoggerLock lock;
  if (!g_clientConstructed) {
    clearClient();
    g_clientConstructed = true;
  }
  return g_client;
}

bool ReadRegistryString(const WCHAR* subKey, const WCHAR* valueName, TextBuffer& text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  // Offer the buffer less one character, so that text stored without its
  // terminating zero can always be ended inside it; a longer value is read
  // again into a buffer of the size it reports.
  bool done = false;
  DWORD chars = INSTALL_PATH_CHARS;
  for (int attempt = 0; attempt < 4 && text.reserve(chars); ++attempt) {
    DWORD bytes = (chars - 1) * 2;
    LONG result = RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &bytes);
    if (result == ERROR_SUCCESS) {
      text.data()[bytes / 2] = 0;
      text.setLength(TextLength(text.c_str()));
      done = true;
      break;
    }
    if (result != ERROR_MORE_DATA || bytes / 2 + 2 > 0x7FFFFFFF / 2) break;
    chars = bytes / 2 + 2;
  }
  RegCloseKey(key);
  if (!done) text.setLength(0);
  return done;
}

bool LoadLoggerLibrary() {
  LoggerLock lock;
  if (g_client.module != nullptr) return true;
  TextBuffer path;
  if (ReadRegistryString(LOGGER_KEY, UTF16("InstallPath"), path) && path.length() > 0) {
    bool built = true;
    if (path.c_str()[path.length() - 1] != UTF16('\\')) built = path.append(UTF16("\\"));
    built = built && path.append(LOGGER_FILE);
    // Never load from a path cut short: without memory for the whole
    // path, the load simply fails this time.
    if (!built) return false;
  } else {
    path.assign(LOGGER_FILE);
  }
  HMODULE module = LoadLibraryW(path.c_str());
  if (module == nullptr) return false;
  g_client.module = module;
  for (int i = 0; i < LOGGER_ENTRY_POINTS; ++i) {
    g_client.entryPoints[i] = reinterpret_cast<void (*)()>(GetProcAddress(module, ENTRY_POINT_NAMES[i]));
  }
  return true;
}

bool EnsureRegistered() {
  // The one comparison a registered client pays per line.
  if (g_client.clientId.load(std::memory_order_acquire) != -1) return true;
  {
    LoggerLock lock;
    if (g_client.clientId.load(std::memory_order_relaxed) != -1) return true;
    if (g_client.module == nullptr) LoadLoggerLibrary();
    std::int32_t id = -1;
    if (g_client.module != nullptr) {
      if (auto registerClient = entryPoint<RegisterLoggerClientFn>(SLOT_REGISTERLOGGERCLIENT)) registerClient(&id);
    }
    if (id == -1) return false;
    // Publishing the id publishes the bound entry points with it.
    g_client.clientId.store(id, std::memory_order_release);
    SetDefaultIdentity();
  }
  return true;
}

void SetLoggerIdentity(const WCHAR* name) {
  if (!EnsureRegistered()) return;
  if (auto setIdentity = entryPoint<SetIdentityNameFn>(SLOT_SETIDENTITYNAME)) {
    setIdentity(g_client.clientId.load(std::memory_order_relaxed), name);
  }
}

void SetDefaultIdentity() {
  TextBuffer path;
  GetModulePath(ModuleInstance(), path);
  TextBuffer identity;
  bool built;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    size_t length = TextLength(found.cFileName);
    size_t end = length;
    for (size_t i = 0; i < length; ++i) {
      if (found.cFileName[i] == UTF16('.')) end = i;
    }
    built = identity.append(found.cFileName, end);
    FindClose(search);
  } else {
    built = identity.append(path.c_str(), path.length()) && identity.append(UTF16(" - Invalid Name"));
  }
  if (built) SetLoggerIdentity(identity.c_str());
}

void RunFirstCallSetup() {
  if (LoggerSetupDone.load(std::memory_order_acquire)) return;
  LoggerLock lock;
  if (LoggerSetupDone.load(std::memory_order_relaxed)) return;
  GetLoggerClient();
  SetLoggerIdentity(UTF16("Reduct"));
  std::int32_t flagId = 0;
  if (EnsureRegistered()) {
    if (auto registerFlag = entryPoint<RegisterLogFlagFn>(SLOT_REGISTERLOGFLAG)) {
      flagId = registerFlag(g_client.clientId.load(std::memory_order_relaxed), 11, UTF16("TraceOn"));
    }
  }
  TraceFlagId.store(flagId);
  LoggerSetupDone.store(true, std::memory_order_release);
}

void TraceLine(std::int32_t flagId, const WCHAR* format, ...) {
  if (!EnsureRegistered()) return;
  auto logCustom2 = entryPoint<LogCustom2Fn>(SLOT_LOGCUSTOM2);
  if (logCustom2 == nullptr) return;
  WCHAR text[TRACE_TEXT_CHARS];
  va_list args;
  va_start(args, format);
  formatText(text, TRACE_TEXT_CHARS, format, args);
  va_end(args);
  logCustom2(g_client.clientId.load(std::memory_order_relaxed), flagId, text);
}

const LoggerClient& PeekLoggerClient() { return g_client; }

void FormatTraceText(WCHAR* out, size_t outChars, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  formatText(out, outChars, format, args);
  va_end(args);
}

void ReleaseLoggerClient() {
  if (g_clientConstructed) {
    std::int32_t id = g_client.clientId.load();
    if (id != -1) {
      if (auto unregisterClient = entryPoint<UnregisterLoggerClientFn>(SLOT_UNREGISTERLOGGERCLIENT)) {
        unregisterClient(id);
      }
      g_client.clientId.store(-1);
    }
    if (g_client.module != nullptr && FreeLibrary(g_client.module)) {
      g_client.module = nullptr;
      for (auto& slot : g_client.entryPoints) slot = nullptr;
    }
  }
  DeleteCriticalSection(&g_loggerLock);
}

}  // namespace reductcom

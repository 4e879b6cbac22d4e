// A stand-in for the framework's logger library. It keeps the clients'
// identities and the registered flags in memory and appends one UTF-8 line
// per call to the file named by the environment variable TRACEWELL_LOG
// (nothing is written when it is unset):
//
//   REGISTERLOGGERCLIENT client=<id>
//   SETIDENTITYNAME client=<id> name=<identity>
//   REGISTERLOGFLAG client=<id> kind=<n> name=<flag> id=<flag id>
//   LOGCUSTOM2 client=<id> identity=<identity> flag=<flag id> text=<text>
//   UNREGISTERLOGGERCLIENT client=<id>
//
// Every entry point may be called from any thread. The state is never torn
// down, so calls that arrive while the process exits still find it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#if defined(_WIN32)
#include <windows.h>
using Text = wchar_t;
#define LOGGER_API extern "C" __cdecl
#else
using Text = char16_t;
#define LOGGER_API extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct Logger {
  std::mutex lock;
  std::int32_t nextClient = 1;
  std::int32_t nextFlag = 1;
  std::map<std::int32_t, std::string> identities;
  std::map<std::string, std::int32_t> flags;
};

Logger& logger() {
  static Logger* instance = new Logger;
  return *instance;
}

std::string utf8(const Text* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != 0; ++text) {
    auto c = static_cast<std::uint32_t>(static_cast<std::uint16_t>(*text));
    if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[1]) - 0xDC00);
      ++text;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Appends one line; the caller holds the logger's lock.
void writeLine(const std::string& line) {
#if defined(_WIN32)
  wchar_t path[1024];
  DWORD n = GetEnvironmentVariableW(L"TRACEWELL_LOG", path, 1024);
  if (n == 0 || n >= 1024) return;
  FILE* file = _wfopen(path, L"ab");
#else
  const char* path = std::getenv("TRACEWELL_LOG");
  if (path == nullptr || *path == 0) return;
  FILE* file = std::fopen(path, "ab");
#endif
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

}  // namespace

LOGGER_API int REGISTERLOGGERCLIENT(std::int32_t* clientId) {
  if (clientId == nullptr) return 0;
  Logger& log = logger();
  std::lock_guard guard(log.lock);
  std::int32_t id = log.nextClient++;
  log.identities[id] = "";
  *clientId = id;
  writeLine("REGISTERLOGGERCLIENT client=" + std::to_string(id));
  return 1;
}

LOGGER_API int SETIDENTITYNAME(std::int32_t clientId, const Text* name) {
  Logger& log = logger();
  std::lock_guard guard(log.lock);
  std::string identity = utf8(name);
  log.identities[clientId] = identity;
  writeLine("SETIDENTITYNAME client=" + std::to_string(clientId) + " name=" + identity);
  return 1;
}

LOGGER_API std::int32_t REGISTERLOGFLAG(std::int32_t clientId, std::int32_t kind, const Text* name) {
  Logger& log = logger();
  std::lock_guard guard(log.lock);
  std::string flag = utf8(name);
  auto it = log.flags.find(flag);
  std::int32_t id = it != log.flags.end() ? it->second : (log.flags[flag] = log.nextFlag++);
  writeLine("REGISTERLOGFLAG client=" + std::to_string(clientId) + " kind=" + std::to_string(kind) +
            " name=" + flag + " id=" + std::to_string(id));
  return id;
}

LOGGER_API int LOGCUSTOM2(std::int32_t clientId, std::int32_t flagId, const Text* text) {
  Logger& log = logger();
  std::string line = utf8(text);
  std::lock_guard guard(log.lock);
  auto it = log.identities.find(clientId);
  std::string identity = it != log.identities.end() ? it->second : "?";
  writeLine("LOGCUSTOM2 client=" + std::to_string(clientId) + " identity=" + identity +
            " flag=" + std::to_string(flagId) + " text=" + line);
  return 1;
}

LOGGER_API int UNREGISTERLOGGERCLIENT(std::int32_t clientId) {
  Logger& log = logger();
  std::lock_guard guard(log.lock);
  log.identities.erase(clientId);
  writeLine("UNREGISTERLOGGERCLIENT client=" + std::to_string(clientId));
  return 1;
}

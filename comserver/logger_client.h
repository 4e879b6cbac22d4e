// The client of the framework's logger library, Tracewell.dll: finds and
// loads it at run time, registers this module as a logger client, names it,
// registers the flag "TraceOn" and hands it trace lines. When the library is
// absent every trace line is dropped and nothing else changes.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"
#include "text_buffer.h"

namespace reductcom {

// Id of the flag "TraceOn" as the logger handed it out at the first-call
// setup; 0 before it and when that setup could not register the flag.
extern std::atomic<std::int32_t> TraceFlagId;
// The first-call setup has run; never cleared while the module is loaded.
extern std::atomic<bool> LoggerSetupDone;

// Number of the logger's entry points the client binds, in table order.
constexpr int LOGGER_ENTRY_POINTS = 40;

struct LoggerClient {
  HMODULE module;
  // -1 while not registered. Written under the logger lock, read without it.
  std::atomic<std::int32_t> clientId;
  // Kept as plain code pointers; each call site converts to its own type.
  void (*entryPoints[LOGGER_ENTRY_POINTS])();
};

// Module attach and detach: set the client up as a freshly loaded module has
// it, and release it (unregister, unload the library) at detach.
void InitializeLoggerClient();
void ReleaseLoggerClient();

LoggerClient& GetLoggerClient();
// The record as it stands, without taking the logger lock (tests, after
// detach).
const LoggerClient& PeekLoggerClient();
bool ReadRegistryString(const WCHAR* subKey, const WCHAR* valueName, TextBuffer& text);
bool LoadLoggerLibrary();
bool EnsureRegistered();
void SetLoggerIdentity(const WCHAR* name);
void SetDefaultIdentity();

// Runs once per load, from the first DllGetClassObject, whichever thread
// gets there first; later callers wait until it is done.
void RunFirstCallSetup();

// Formats one line printf style (%d, %u, %x, %s for UTF-16 text, %%) and
// hands it to the logger with the flag id. Lines reaching 8192 characters
// are cut to 8191.
void TraceLine(std::int32_t flagId, const WCHAR* format, ...);

// The text TraceLine would send, for tests of the formatting.
void FormatTraceText(WCHAR* out, size_t outChars, const WCHAR* format, ...);

}  // namespace reductcom

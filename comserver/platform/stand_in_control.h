// How tests set up and inspect the stand-in Windows services: registry
// content, access refusals and failures, loadable libraries, the module's
// file name, which files exist, and counters of what was called.
#pragma once

#include "stand_in.h"

#include <functional>
#include <string>
#include <vector>

namespace standin {

// Back to an empty registry, no libraries, default module path, no failures.
void reset();

// The handle the server's module is attached with.
HMODULE serverModule();

// ---- registry -------------------------------------------------------------
enum class RegCall { Open, Create, Query, Set, Enumerate, Delete };

// Called before every registry operation with the key's full path (root
// "HKLM" or "HKCR", then "\"-separated names) and, for opens and creates,
// the access asked for. Returning anything but ERROR_SUCCESS fails the call
// with that error.
using RegistryFault = std::function<LONG(RegCall call, const std::u16string& path, REGSAM access)>;
void setRegistryFault(RegistryFault fault);

// Opens or creates of the key at path asking for any of these access bits
// are refused with ERROR_ACCESS_DENIED (a process without those rights).
void denyAccess(const std::u16string& path, REGSAM bits);

struct RegValue {
  DWORD type;
  std::vector<BYTE> data;
};
void setValue(const std::u16string& path, const std::u16string& name, DWORD type,
              std::vector<BYTE> data);
void setString(const std::u16string& path, const std::u16string& name, const std::u16string& text);
void setDword(const std::u16string& path, const std::u16string& name, std::uint32_t value);
bool keyExists(const std::u16string& path);
void createKey(const std::u16string& path);
// Every value below root as "path|name|type|data" (strings without their
// terminator, other data as hex), sorted; the default value's name is "".
std::vector<std::string> dumpRegistry(const std::u16string& root);
int openKeyHandles();

// ---- libraries --------------------------------------------------------------
struct Library {
  std::function<void*(const char* name)> resolve;
  bool failFree = false;
};
// Makes LoadLibraryW(path) succeed (path compared without regard to case).
void installLibrary(const std::u16string& path, Library library);
// A library backed by a native shared object (dlopen / dlsym).
void installSharedObject(const std::u16string& path, const std::string& soPath);
void uninstallLibrary(const std::u16string& path);
void setFreeLibraryFails(const std::u16string& path, bool fails);
std::vector<std::u16string> loadAttempts();
int freeCalls();
int loadedLibraries();

// ---- module file name and files ----------------------------------------------
void setModulePath(const std::u16string& path);
void addFile(const std::u16string& path);
void removeFile(const std::u16string& path);
int openFindHandles();

// ---- text ----------------------------------------------------------------
std::string toUtf8(const std::u16string& text);
std::u16string toUtf16(const std::string& text);

}  // namespace standin

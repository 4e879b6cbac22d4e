// The server module: instance handle, lock count, class table, class
// factory and the four exports.
#pragma once

#include "platform/platform.h"

namespace reductcom {

HINSTANCE ModuleInstance();

// The count of reasons the module must stay loaded. Only interlocked
// changes; nothing keeps it from going below zero.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// A Win32 error as an HRESULT: 0 stays S_OK, e > 0 becomes
// 0x80070000 | (e & 0xFFFF), anything else passes unchanged.
HRESULT HResultFromWin32(LONG error);

// Registry entries of the served class (register = TRUE writes them,
// FALSE removes them).
HRESULT RegisterClassKeys(BOOL doRegister);

}  // namespace reductcom

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();

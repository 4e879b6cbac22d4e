// The module: its entry point, lock count, table of served classes, the
// cached class factory and the four exports.
#include "module.h"

#include <new>

#include "compress_interface.h"
#include "logger_client.h"
#include "reduct.h"

namespace reductcom {

namespace {

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppvObject);

// One served class: how to register it, make its class object and its
// instances, and the class object once made (held with one reference).
struct ClassEntry {
  const CLSID* clsid;
  HRESULT (*registerKeys)(BOOL doRegister);
  HRESULT (*createClassObject)(InstanceCreator creator, REFIID riid, void** ppvObject);
  InstanceCreator createInstance;
  IUnknown* classObject;
  DWORD registrationCookie;
  const WCHAR* (*description)();
  const void* (*categories)();
  void (*startStop)(bool start);
};

HRESULT CreateClassFactory(InstanceCreator creator, REFIID riid, void** ppvObject);
const WCHAR* noDescription() { return nullptr; }
const void* noCategories() { return nullptr; }
void noStartStop(bool) {}

ClassEntry ClassTable[] = {
    {&CLSID_Reduct, RegisterClassKeys, CreateClassFactory, CreateReductInstance, nullptr, 0, noDescription,
     noCategories, noStartStop},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr},
};

HINSTANCE g_instance = nullptr;
LONG volatile g_lockCount = 0;
// The all-zero library id the type library carries.
GUID g_libraryId = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
// Serialises making the class objects.
CRITICAL_SECTION g_moduleLock;

// The cached class factory. The reference the class table keeps does not
// hold the module; every further one does.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(InstanceCreator creator) : m_creator(creator) { InitializeCriticalSection(&m_cacheLock); }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (!IsEqualGUID(riid, IID_IClassFactory) && !IsEqualGUID(riid, IID_IUnknown)) return E_NOINTERFACE;
    auto* factory = static_cast<IClassFactory*>(this);
    factory->AddRef();
    *ppvObject = factory;
    return S_OK;
  }

  ULONG STDMETHODCALLTYPE AddRef() override {
    EnterCriticalSection(&m_cacheLock);
    LONG count = InterlockedIncrement(&m_refCount);
    if (count == 2) LockModule();
    LeaveCriticalSection(&m_cacheLock);
    return static_cast<ULONG>(count);
  }

  ULONG STDMETHODCALLTYPE Release() override {
    EnterCriticalSection(&m_cacheLock);
    LONG count = InterlockedDecrement(&m_refCount);
    LeaveCriticalSection(&m_cacheLock);
    if (count == 0) delete this;
    else if (count == 1) UnlockModule();
    return static_cast<ULONG>(count);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr && !IsEqualGUID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return m_creator(pUnkOuter, riid, ppvObject);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
    if (fLock) LockModule();
    else UnlockModule();
    return S_OK;
  }

 private:
  ~ClassFactory() { DeleteCriticalSection(&m_cacheLock); }

  LONG m_refCount = 0;
  InstanceCreator m_creator;
  CRITICAL_SECTION m_cacheLock;
};

HRESULT CreateClassFactory(InstanceCreator creator, REFIID riid, void** ppvObject) {
  auto* factory = new (std::nothrow) ClassFactory(creator);
  if (factory == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppvObject);
  if (FAILED(hr)) factory->Release();  // count 0 -> 1 -> 0 destroys it without touching the lock count
  return hr;
}

void InitializeModule(HINSTANCE instance) {
  g_instance = instance;
  g_lockCount = 0;
  InitializeCriticalSection(&g_moduleLock);
  for (ClassEntry* entry = ClassTable; entry->clsid != nullptr; ++entry) {
    entry->classObject = nullptr;
    entry->registrationCookie = 0;
  }
}

void TerminateModule() {
  for (ClassEntry* entry = ClassTable; entry->clsid != nullptr; ++entry) {
    if (IUnknown* object = entry->classObject) {
      entry->classObject = nullptr;
      object->Release();
    }
  }
  DeleteCriticalSection(&g_moduleLock);
}

HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (ClassEntry* entry = ClassTable; entry->clsid != nullptr; ++entry) {
    if (!IsEqualGUID(*entry->clsid, rclsid)) continue;
    HRESULT hr = S_OK;
    if (__atomic_load_n(&entry->classObject, __ATOMIC_ACQUIRE) == nullptr) {
      EnterCriticalSection(&g_moduleLock);
      if (entry->classObject == nullptr) {
        void* made = nullptr;
        hr = entry->createClassObject(entry->createInstance, IID_IUnknown, &made);
        if (SUCCEEDED(hr)) __atomic_store_n(&entry->classObject, static_cast<IUnknown*>(made), __ATOMIC_RELEASE);
      }
      LeaveCriticalSection(&g_moduleLock);
    }
    if (IUnknown* object = __atomic_load_n(&entry->classObject, __ATOMIC_ACQUIRE)) {
      return object->QueryInterface(riid, ppv);
    }
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT UpdateRegistry(BOOL doRegister) {
  for (ClassEntry* entry = ClassTable; entry->clsid != nullptr; ++entry) {
    HRESULT hr = entry->registerKeys(doRegister);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }
void LockModule() { InterlockedIncrement(&g_lockCount); }
void UnlockModule() { InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() { return __atomic_load_n(&g_lockCount, __ATOMIC_SEQ_CST); }

HRESULT HResultFromWin32(LONG error) {
  if (error > 0) return static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(error) & 0xFFFFu));
  return static_cast<HRESULT>(error);
}

}  // namespace reductcom

using namespace reductcom;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeModule(instance);
    InitializeLoggerClient();
    g_libraryId = GUID{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    // The class objects go first; the logger is released after them, so
    // their teardown may still trace.
    TerminateModule();
    ReleaseLoggerClient();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  RunFirstCallSetup();
  return GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return UpdateRegistry(TRUE); }

STDAPI DllUnregisterServer() { return UpdateRegistry(FALSE); }

#include "reduct.h"

#include <zlib.h>

#include <cstdint>
#include <new>

#include "logger_client.h"
#include "module.h"

namespace reductcom {

namespace {

const WCHAR FRAMEWORK_KEY[] = UTF16("SOFTWARE\\Corvane\\Framework\\");
constexpr HRESULT HRESULT_MORE_DATA = static_cast<HRESULT>(0x800700EAu);
// ERROR_ARITHMETIC_OVERFLOW as an HRESULT.
constexpr HRESULT HRESULT_ARITHMETIC_OVERFLOW = static_cast<HRESULT>(0x80070216u);

std::int32_t traceFlag() { return TraceFlagId.load(std::memory_order_relaxed); }

// Lengths are traced as signed 32-bit numbers, as callers see them printed.
int asTraced(ULONG value) { return static_cast<int>(static_cast<std::int32_t>(value)); }

}  // namespace

HRESULT HResultFromZlib(int result) {
  if (result == Z_MEM_ERROR) return E_OUTOFMEMORY;
  if (result == Z_BUF_ERROR) return HRESULT_MORE_DATA;
  if (result != Z_OK) return E_FAIL;
  return S_OK;
}

CReduct::CReduct(IUnknown* outer) : m_outer(outer) {
  // The key is opened for full access: a process that may not write there
  // keeps the default level.
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, FRAMEWORK_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    BYTE data[4] = {0, 0, 0, 0};
    DWORD size = sizeof data;
    // Only a full 4-byte value sets the level: shorter data would leave
    // bytes of nothing in it.
    if (RegQueryValueExW(key, UTF16("ReductionLevel"), nullptr, nullptr, data, &size) == ERROR_SUCCESS &&
        size == sizeof data) {
      m_level = static_cast<LONG>(static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                                  static_cast<std::uint32_t>(data[2]) << 16 |
                                  static_cast<std::uint32_t>(data[3]) << 24);
    }
    RegCloseKey(key);
  }
}

CReduct::~CReduct() { TraceLine(traceFlag(), UTF16("~CReduct()")); }

void CReduct::TearDown(CReduct* object) {
  TraceLine(traceFlag(), UTF16("FinalRelease()"));
  delete object;
  // The lock goes back last, once nothing of the object runs any more, so
  // an unload allowed by it cannot pull the code from under the teardown.
  UnlockModule();
}

HRESULT CReduct::InternalQueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  *ppvObject = nullptr;
  if (!IsEqualGUID(riid, IID_ICompress) && !IsEqualGUID(riid, IID_IUnknown)) return E_NOINTERFACE;
  auto* compress = static_cast<ICompress*>(this);
  compress->AddRef();
  *ppvObject = compress;
  return S_OK;
}

HRESULT CReduct::QueryInterface(REFIID riid, void** ppvObject) {
  if (m_outer == nullptr) return InternalQueryInterface(riid, ppvObject);
  HRESULT hr = m_outer->QueryInterface(riid, ppvObject);
  if (FAILED(hr) && m_outer != static_cast<IUnknown*>(this)) hr = InternalQueryInterface(riid, ppvObject);
  return hr;
}

ULONG CReduct::AddRef() {
  if (m_outer != nullptr) return m_outer->AddRef();
  return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

ULONG CReduct::Release() {
  if (m_outer != nullptr) return m_outer->Release();
  LONG count = InterlockedDecrement(&m_refCount);
  if (count == 0) TearDown(this);
  return static_cast<ULONG>(count);
}

HRESULT CReduct::CompressBound(ULONG* pSrcLen) {
  if (pSrcLen == nullptr) return E_FAIL;
  TraceLine(traceFlag(), UTF16("CompressBound - pSrcLen(in) = %d"), asTraced(*pSrcLen));
  uLong source = *pSrcLen;
  uLong bound = compressBound(source);
  // zlib's sum wraps for sources close to 4 GiB when its length type has
  // 32 bits; a wrapped bound would be too small for the data.
  if (bound < source || (sizeof bound > 4 && (static_cast<std::uint64_t>(bound) >> 31 >> 1) != 0)) {
    return HRESULT_ARITHMETIC_OVERFLOW;
  }
  TraceLine(traceFlag(), UTF16("CompressBound - pSrcLen(out) = %d"), asTraced(static_cast<ULONG>(bound)));
  *pSrcLen = static_cast<ULONG>(bound);
  return S_OK;
}

HRESULT CReduct::Compress(BYTE* pDest, ULONG* pDestLen, BYTE* pSrc, ULONG SrcLen) {
  if (pDest == nullptr || pDestLen == nullptr || pSrc == nullptr) return E_POINTER;
  TraceLine(traceFlag(), UTF16("Compress - Level = %d,pDestLen(in) = %d,SrcLen = %d"), static_cast<int>(m_level),
            asTraced(*pDestLen), asTraced(SrcLen));
  uLongf destLen = *pDestLen;
  int result = compress2(pDest, &destLen, pSrc, SrcLen, static_cast<int>(m_level));
  *pDestLen = static_cast<ULONG>(destLen);
  if (result != Z_OK) return HResultFromZlib(result);
  TraceLine(traceFlag(), UTF16("Compress - pDestLen(out) = %d,SrcLen = %d"), asTraced(*pDestLen), asTraced(SrcLen));
  return S_OK;
}

HRESULT CReduct::Uncompress(BYTE* pDest, ULONG* pDestLen, BYTE* pSrc, ULONG SrcLen) {
  if (pDest == nullptr || pDestLen == nullptr || pSrc == nullptr) return E_POINTER;
  TraceLine(traceFlag(), UTF16("Uncompress - pDestLen(in) = %d,SrcLen = %d"), asTraced(*pDestLen), asTraced(SrcLen));
  uLongf destLen = *pDestLen;
  int result = uncompress(pDest, &destLen, pSrc, SrcLen);
  *pDestLen = static_cast<ULONG>(destLen);
  if (result != Z_OK) return HResultFromZlib(result);
  TraceLine(traceFlag(), UTF16("Uncompress - pDestLen(out) = %d,SrcLen = %d"), asTraced(*pDestLen),
            asTraced(SrcLen));
  return S_OK;
}

// An aggregated instance: the inner IUnknown of the outer object, with its
// own count, holding the CReduct whose IUnknown calls go to the outer.
class CReductAggregate final : public IUnknown {
 public:
  explicit CReductAggregate(IUnknown* outer) : m_contained(outer) {}
  CReductAggregate(const CReductAggregate&) = delete;
  CReductAggregate& operator=(const CReductAggregate&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (IsEqualGUID(riid, IID_IUnknown)) {
      if (ppvObject == nullptr) return E_POINTER;
      *ppvObject = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return m_contained.InternalQueryInterface(riid, ppvObject);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) TearDown(this);
    return static_cast<ULONG>(count);
  }

  static void TearDown(CReductAggregate* object) {
    TraceLine(traceFlag(), UTF16("FinalRelease()"));
    delete object;  // the contained object's destructor sends "~CReduct()"
    UnlockModule();
  }

 private:
  ~CReductAggregate() = default;

  LONG m_refCount = 0;
  CReduct m_contained;
};

HRESULT CreateReductInstance(IUnknown* outer, REFIID riid, void** ppvObject) {
  if (outer == nullptr) {
    auto* object = new (std::nothrow) CReduct(nullptr);
    if (object == nullptr) return E_OUTOFMEMORY;
    LockModule();
    HRESULT hr = object->InternalQueryInterface(riid, ppvObject);
    if (FAILED(hr)) CReduct::TearDown(object);
    return hr;
  }
  auto* wrapper = new (std::nothrow) CReductAggregate(outer);
  if (wrapper == nullptr) return E_OUTOFMEMORY;
  LockModule();
  HRESULT hr = wrapper->QueryInterface(riid, ppvObject);
  if (FAILED(hr)) CReductAggregate::TearDown(wrapper);
  return hr;
}

}  // namespace reductcom

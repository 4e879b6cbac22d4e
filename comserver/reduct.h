// CReduct, the one served class: ICompress over zlib's one-shot functions
// at the level the registry names, each call traced through the logger.
#pragma once

#include "compress_interface.h"

namespace reductcom {

class CReduct final : public ICompress {
 public:
  // outer is null for a stand-alone object; an aggregated one passes its
  // IUnknown calls to the outer object.
  explicit CReduct(IUnknown* outer);
  CReduct(const CReduct&) = delete;
  CReduct& operator=(const CReduct&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CompressBound(ULONG* pSrcLen) override;
  HRESULT STDMETHODCALLTYPE Compress(BYTE* pDest, ULONG* pDestLen, BYTE* pSrc, ULONG SrcLen) override;
  HRESULT STDMETHODCALLTYPE Uncompress(BYTE* pDest, ULONG* pDestLen, BYTE* pSrc, ULONG SrcLen) override;

  // Answers from the object's own interface table: ICompress, and
  // IID_IUnknown with the same pointer.
  HRESULT InternalQueryInterface(REFIID riid, void** ppvObject);

  LONG level() const { return m_level; }

  // Teardown of a stand-alone object: "FinalRelease()", "~CReduct()", the
  // memory freed and the module lock given back.
  static void TearDown(CReduct* object);

 private:
  friend class CReductAggregate;
  ~CReduct();

  LONG m_refCount = 0;
  IUnknown* m_outer;
  LONG m_level = 6;
};

// The zlib result as the HRESULT ICompress returns.
HRESULT HResultFromZlib(int result);

// Instance creator of the class table: stand-alone when outer is null,
// aggregated otherwise.
HRESULT CreateReductInstance(IUnknown* outer, REFIID riid, void** ppvObject);

}  // namespace reductcom

// The custom interface ICompress and the ids of the served class, as the
// type library in reduct_com.idl describes them.
#pragma once

#include "platform/platform.h"

namespace reductcom {

// {8C1F4B92-3D7A-4E15-B6A0-19E52C7D8F44}
constexpr IID IID_ICompress = {0x8C1F4B92, 0x3D7A, 0x4E15, {0xB6, 0xA0, 0x19, 0xE5, 0x2C, 0x7D, 0x8F, 0x44}};
// {5E3A7C21-9B4D-4F60-A1C8-72D94E0B6F13}, coclass Reduct
constexpr CLSID CLSID_Reduct = {0x5E3A7C21, 0x9B4D, 0x4F60, {0xA1, 0xC8, 0x72, 0xD9, 0x4E, 0x0B, 0x6F, 0x13}};

// Methods in table order after IUnknown's three. Buffers and lengths are
// the caller's; pDest is written although the type library marks it [in].
struct ICompress : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CompressBound(ULONG* pSrcLen) = 0;
  virtual HRESULT STDMETHODCALLTYPE Compress(BYTE* pDest, ULONG* pDestLen, BYTE* pSrc, ULONG SrcLen) = 0;
  virtual HRESULT STDMETHODCALLTYPE Uncompress(BYTE* pDest, ULONG* pDestLen, BYTE* pSrc, ULONG SrcLen) = 0;

 protected:
  ~ICompress() = default;
};

}  // namespace reductcom

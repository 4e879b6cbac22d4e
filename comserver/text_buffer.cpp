#include "text_buffer.h"

#include <new>

namespace reductcom {

bool TextBuffer::reserve(size_t chars) {
  if (chars <= m_capacity) return true;
  size_t grown = m_capacity * 2 > chars ? m_capacity * 2 : chars;
  auto* bigger = new (std::nothrow) WCHAR[grown];
  if (bigger == nullptr) return false;
  const WCHAR* old = c_str();
  for (size_t i = 0; i <= m_length; ++i) bigger[i] = old[i];
  delete[] m_heap;
  m_heap = bigger;
  m_capacity = grown;
  return true;
}

bool TextBuffer::append(const WCHAR* text, size_t n) {
  if (n > static_cast<size_t>(-1) / 2 - m_length - 1) return false;
  if (!reserve(m_length + n + 1)) return false;
  WCHAR* out = data() + m_length;
  for (size_t i = 0; i < n; ++i) out[i] = text[i];
  setLength(m_length + n);
  return true;
}

bool GetModulePath(HMODULE module, TextBuffer& path) {
  // The system cuts a name that does not fit and returns the buffer's size;
  // grow and ask again until the whole name fits. Names of 32767 characters
  // are the system's limit.
  size_t chars = MAX_PATH;
  for (;;) {
    if (!path.reserve(chars)) break;
    DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(chars));
    if (n == 0) break;
    if (n < chars) {
      path.setLength(n);
      return true;
    }
    if (chars > 32768) break;
    chars *= 2;
  }
  path.setLength(0);
  return false;
}

}  // namespace reductcom

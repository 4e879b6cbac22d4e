// UTF-16 text of any length: a small inline store for the usual case, the
// heap when a path grows past it. Appends never cut the text; when memory
// runs out they fail and leave the text as it was.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace reductcom {

inline size_t TextLength(const WCHAR* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

class TextBuffer {
 public:
  static constexpr size_t INLINE_CHARS = 264;

  TextBuffer() { m_inline[0] = 0; }
  ~TextBuffer() { delete[] m_heap; }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  WCHAR* data() { return m_heap != nullptr ? m_heap : m_inline; }
  const WCHAR* c_str() const { return m_heap != nullptr ? m_heap : m_inline; }
  size_t length() const { return m_length; }
  // Characters the store holds, the terminating zero included.
  size_t capacity() const { return m_capacity; }

  // Makes room for chars characters (terminator included), keeping the text.
  bool reserve(size_t chars);
  // Ends the text after n characters (n < capacity()).
  void setLength(size_t n) {
    m_length = n;
    data()[n] = 0;
  }
  bool append(const WCHAR* text, size_t n);
  bool append(const WCHAR* text) { return append(text, TextLength(text)); }
  bool assign(const WCHAR* text) {
    setLength(0);
    return append(text);
  }

 private:
  WCHAR m_inline[INLINE_CHARS];
  WCHAR* m_heap = nullptr;
  size_t m_capacity = INLINE_CHARS;
  size_t m_length = 0;
};

// The file name of a module, however long.
bool GetModulePath(HMODULE module, TextBuffer& path);

}  // namespace reductcom

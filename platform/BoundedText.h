// Bounded, UTF-8-safe texts for the fixed-size fields of the records.
//
// The records keep texts in char[64], char[256], char[1024] ... fields whose
// exact capacity shows in the files they are saved to. Every copy into such a
// field goes through CopyText (or Text<N>::Assign): it never writes past the
// field, always terminates, and when it has to cut, it cuts before a UTF-8
// character that would not fit whole. Fields that must not be cut at all
// (paths, file names) use AssignExact, which refuses a text that does not fit.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace cz {

// Length of the longest prefix of src that fits into limit bytes without
// splitting a UTF-8 sequence (bytes that are not valid UTF-8 count singly).
std::size_t Utf8PrefixLength(std::string_view src, std::size_t limit);

// Length of the well-formed UTF-8 character at src[pos] (1 to 4), or 0 when
// the bytes there are not one (stray continuation byte, overlong form,
// surrogate, beyond U+10FFFF, cut sequence).
std::size_t Utf8CharLength(std::string_view src, std::size_t pos);

// Number of characters of src as a user counts them: UTF-8 sequences, each
// byte that belongs to none counting as one.
std::size_t Utf8CharCount(std::string_view src);
// Length in bytes of the first `chars` characters of src (all of it when it
// holds fewer), counted as Utf8CharCount counts them.
std::size_t Utf8CharsPrefixLength(std::string_view src, std::size_t chars);

// src with every byte that does not belong to a well-formed UTF-8 sequence
// (stray continuation bytes, cut or overlong sequences, surrogates, values
// beyond U+10FFFF) replaced by U+FFFD.
std::string ValidUtf8(std::string_view src);

// Copies src into dst of capacity cap (terminator included), cut on a
// character boundary. Returns true when nothing was cut. cap 0 writes nothing.
bool CopyText(char* dst, std::size_t cap, std::string_view src);

// Copies src into dst only when it fits whole; otherwise dst stays unchanged
// and false is returned.
bool CopyTextExact(char* dst, std::size_t cap, std::string_view src);

template <std::size_t N>
inline bool CopyText(char (&dst)[N], std::string_view src) { return CopyText(dst, N, src); }
template <std::size_t N>
inline bool CopyTextExact(char (&dst)[N], std::string_view src) { return CopyTextExact(dst, N, src); }

// Appends src to the NUL-terminated text in dst (capacity cap), cut on a
// character boundary. Returns true when nothing was cut.
bool AppendText(char* dst, std::size_t cap, std::string_view src);

// A fixed-capacity text: N bytes of storage including the terminator, so it
// holds at most N - 1 bytes. Copies are plain value copies.
template <std::size_t N>
class Text {
 public:
  static_assert(N >= 1, "a text needs room for its terminator");
  static constexpr std::size_t kCapacity = N;
  static constexpr std::size_t kMaxLength = N - 1;

  Text() { data_[0] = '\0'; }
  Text(std::string_view s) { Assign(s); }  // NOLINT: implicit on purpose, cuts like CopyText
  Text& operator=(std::string_view s) { Assign(s); return *this; }
  Text& operator=(const char* s) { Assign(s ? std::string_view(s) : std::string_view()); return *this; }

  // Cuts at a character boundary when too long; true when nothing was cut.
  bool Assign(std::string_view s) { return CopyText(data_, N, s); }
  // Refuses (returns false, keeps the old value) when s does not fit whole.
  bool AssignExact(std::string_view s) { return CopyTextExact(data_, N, s); }
  bool Append(std::string_view s) { return AppendText(data_, N, s); }
  void Clear() { data_[0] = '\0'; }

  const char* c_str() const { return data_; }
  std::string_view view() const { return std::string_view(data_); }
  std::string str() const { return std::string(data_); }
  std::size_t size() const { return std::strlen(data_); }
  bool empty() const { return data_[0] == '\0'; }
  // Raw buffer for C-style callers that fill it themselves (plug-in calls,
  // snprintf). Such callers must respect kCapacity; Terminate() guards the end.
  char* data() { return data_; }
  void Terminate() { data_[N - 1] = '\0'; }

  friend bool operator==(const Text& a, const Text& b) { return a.view() == b.view(); }
  friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  char data_[N];
};

}  // namespace cz

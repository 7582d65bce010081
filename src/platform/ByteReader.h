#pragma once
// A bounded reader over bytes already in memory. Every loader reads through one of these, so a
// length or offset taken from a file can never move a read outside the buffer: a short read
// raises the runtime's one input error instead.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <type_traits>

namespace platform {

// The text of the input/output error for a file that ends before the bytes asked for.
inline constexpr const char* kReadBeyondEndOfFile = "Read beyond end of file";

// An input/output error of the file layer, carrying the user-facing text.
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The same error for a file that exists but whose bytes could not be had at all (the source that
// holds it has said why), as opposed to bytes that end too early.
class EUnreadableFile : public EInOutError {
 public:
  using EInOutError::EInOutError;
};

class TByteReader {
 public:
  explicit TByteReader(std::span<const std::uint8_t> bytes) : Bytes(bytes) {}

  std::size_t Size() const { return Bytes.size(); }
  std::size_t Position() const { return Pos; }
  std::size_t Remaining() const { return Pos <= Bytes.size() ? Bytes.size() - Pos : 0; }

  // Moves to an absolute offset. Seeking past the end is allowed (as with a file); the next read
  // then fails. A negative offset is an error.
  void Seek(std::int64_t offset) {
    if (offset < 0) throw EInOutError(kReadBeyondEndOfFile);
    Pos = static_cast<std::size_t>(offset);
  }

  // Copies exactly `count` bytes or raises "Read beyond end of file" without copying any.
  void Read(void* destination, std::size_t count) {
    if (count > Remaining()) throw EInOutError(kReadBeyondEndOfFile);
    if (count != 0) std::memcpy(destination, Bytes.data() + Pos, count);
    Pos += count;
  }

  // The next `count` bytes in place, or "Read beyond end of file".
  std::span<const std::uint8_t> Take(std::size_t count) {
    if (count > Remaining()) throw EInOutError(kReadBeyondEndOfFile);
    std::span<const std::uint8_t> part = Bytes.subspan(Pos, count);
    Pos += count;
    return part;
  }

  template <class T>
  T Read() {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    Read(&value, sizeof value);
    return value;
  }

 private:
  std::span<const std::uint8_t> Bytes;
  std::size_t Pos = 0;
};

}  // namespace platform

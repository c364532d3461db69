#pragma once

#include <cstdint>
#include <iosfwd>

namespace quillark {

// A statistics counter that sticks at its maximum instead of wrapping, so a
// long-running count never reads as small again.
class Counter {
 public:
  static constexpr std::uint32_t MAXIMUM = 0xFFFFFFFFu;

  Counter(std::uint32_t value = 0) : value(value) {}
  operator std::uint32_t() const { return value; }
  Counter& operator=(std::uint32_t v) {
    value = v;
    return *this;
  }

  // Adds n, saturating; returns the new value.
  std::uint32_t Add(std::uint32_t n) {
    value = n > MAXIMUM - value ? MAXIMUM : value + n;
    return value;
  }
  Counter& operator++() {
    Add(1);
    return *this;
  }
  Counter& operator+=(std::uint32_t n) {
    Add(n);
    return *this;
  }

  // Plain unsigned decimal. A failed read leaves the value as it was.
  std::istream& Get(std::istream& is);
  std::ostream& Put(std::ostream& os) const;

 private:
  std::uint32_t value;
};

inline std::istream& operator>>(std::istream& is, Counter& c) {
  return c.Get(is);
}
inline std::ostream& operator<<(std::ostream& os, const Counter& c) {
  return c.Put(os);
}

}  // namespace quillark

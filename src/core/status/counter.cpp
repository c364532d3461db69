#include "core/status/counter.h"

#include <istream>
#include <ostream>

namespace quillark {

std::istream& Counter::Get(std::istream& is) {
  std::uint32_t v = 0;
  if (is >> v) value = v;
  return is;
}

std::ostream& Counter::Put(std::ostream& os) const {
  return os << value;
}

}  // namespace quillark

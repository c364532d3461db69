#include "core/status/busstatus.h"

#include <ostream>

namespace quillark {

std::ostream& BusStatus::Status::Put(std::ostream& os) const {
  os << "\nMessages received: " << rxmessages << "\n"
     << "Fast polls: " << rxfastpolls << "\n"
     << "Standard polls: " << rxstdpolls << "\n"
     << "Unknown polls: " << rxunknownpolls << "\n"
     << "Unknown commands: " << rxunknowncommands << "\n"
     << "Bad messages: " << rxbadmessages << "\n"
     << "\nMessages sent: " << txmessages << "\n";
  return os;
}

}  // namespace quillark

#include "core/comms/remoteaudit.h"

namespace quillark {

std::optional<RemoteOperation> DecodeRemoteOperation(int loop, const char* item, int length) {
  if (item == nullptr || length < 3 || loop < 0 || loop > 15) return std::nullopt;
  const char target = item[0];
  const auto addr = static_cast<unsigned char>(item[1]);
  const char letter = item[2];
  // A command's address byte always has its top bit set; without it the
  // devices take the frame for something else.
  if ((target != '>' && target != '#' && target != ':') || (addr & 0x80) == 0) return std::nullopt;
  const int bus = addr & 0x7F;

  RemoteOperation op;
  op.target = target;
  int slot = 0;
  switch (target) {
    case '>':
      slot = bus;
      break;
    case '#':
      // Power supplies answer under their own bus address (1-127), after the detectors.
      slot = bus == 0 ? 0 : bus + 127;
      break;
    default:
      // Command modules answer commands under bus address 1 (0: all of them).
      slot = 0;
      break;
  }
  if (slot > 254) return std::nullopt;
  op.device = loop * 256 + slot;

  switch (letter) {
    case 'I':
      if (bus == 0) return std::nullopt;  // nobody answers an isolate of everybody
      // As the devices read it: anything but an explicit "0" after "I001" isolates.
      op.kind =
          (length > 6 && item[6] == '0') ? RemoteOperation::DEISOLATE : RemoteOperation::ISOLATE;
      return op;
    case 'R':
      op.kind = bus == 0 ? RemoteOperation::LOOPRESET : RemoteOperation::RESET;
      if (bus == 0) op.device = loop * 256;
      return op;
    case 'P':
      if (bus == 0) return std::nullopt;
      op.kind = RemoteOperation::FUNCTIONWRITE;
      return op;
    default:
      return std::nullopt;
  }
}

}  // namespace quillark

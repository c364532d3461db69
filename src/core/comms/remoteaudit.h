#pragma once

#include <optional>
#include <string>

namespace quillark {

// An operation that an item from a network monitoring client carries. The
// client writes raw frames onto the loop, so the operator's commands it
// sends (isolate, reset, function writes) are recognised by their frames.
struct RemoteOperation {
  enum Kind { ISOLATE, DEISOLATE, RESET, LOOPRESET, FUNCTIONWRITE };
  Kind kind = ISOLATE;
  // Loop index x 256 + slot: 0 is the loop's command module, 1-127 the
  // detectors, 128-254 the power supplies. For LOOPRESET the slot is 0.
  int device = 0;
  // The frame's start character: '>' detectors, '#' power supplies, ':'
  // command modules.
  char target = '>';
};

// The operation an item (as sent by the client: frame, check sum, CR) on
// `loop` carries, or none for polls, reads and anything malformed.
std::optional<RemoteOperation> DecodeRemoteOperation(int loop, const char* item, int length);

// Where the operations of remote clients are recorded, as the local ones
// are. `client` is the client's address.
class RemoteAudit {
 public:
  virtual ~RemoteAudit() = default;
  virtual void RecordRemote(const RemoteOperation& op, int loop, const std::string& client) = 0;
};

}  // namespace quillark

#pragma once

#include <memory>

namespace quillark {

class INI;

// Receives a copy of every frame written to a loop, for the remote PCs that
// follow that loop over the network.
class NetMirror {
 public:
  virtual ~NetMirror() = default;
  virtual void SendToClients(int loop, const char* data, int datalen) = 0;
};

}  // namespace quillark

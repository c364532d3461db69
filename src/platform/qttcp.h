#pragma once

#include "core/platform/tcp.h"

namespace quillark {

// TCP on Qt's asynchronous sockets: everything is signalled on the main
// thread, so no thread is needed.
class QtTcpFactory : public TcpFactory {
 public:
  std::unique_ptr<TcpStream> NewStream() override;
  std::unique_ptr<TcpListener> NewListener() override;
};

}  // namespace quillark

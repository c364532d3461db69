#include "core/comms/msgclass.h"

#include "core/comms/bushost.h"
#include "core/comms/message.h"
#include "core/platform/prompter.h"

namespace quillark {

MsgClass::~MsgClass() {
  if (derived != nullptr) {
    if (main != nullptr)
      main->GetPrompter().Show("MsgClass::~MsgClass()", "Derived class still registered",
                               PromptIcon::STOP);
    // Leaving the entry behind would have the next frame call a destroyed
    // object, so the registration is removed here as well.
    DeRegister();
  }
}

void MsgClass::Register(MsgClass* Derived, std::uint32_t Flags) {
  if (derived != nullptr) DeRegister();
  derived = Derived;
  if (main != nullptr && derived != nullptr) main->Register(derived, Flags);
}

void MsgClass::DeRegister() {
  if (derived != nullptr && main != nullptr) main->DeRegister(derived);
  derived = nullptr;
}

int MsgClass::GetData(int length, const char*& ptr) {
  return Message::GetData(length, ptr);
}

int MsgClass::SendBusMessage(int loop, char* msg, int msglength) {
  if (main == nullptr) return 0;
  return main->SendBusMessage(loop, msg, msglength);
}

}  // namespace quillark

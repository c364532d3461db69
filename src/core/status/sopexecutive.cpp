#include "core/status/sopexecutive.h"

#include "core/status/deviceoperations.h"
#include "core/status/devicestatussource.h"

namespace quillark {

void AppSOPExecutive::Isolate(int device, bool isolate) {
  ops.Isolate(device, isolate, false);
}

unsigned AppSOPExecutive::GetDeviceStatus(int device) {
  return status.GetDeviceStatus(device);
}

unsigned AppSOPExecutive::GetDeviceFaultStatus(int device) {
  return status.GetDeviceFaultStatus(device);
}

}  // namespace quillark

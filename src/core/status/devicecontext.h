#pragma once

#include "core/status/devicestatussource.h"

namespace quillark {

class SelectionSet;
class TSiteConfig;

// What a device display needs of the program around it: the site, the
// devices the operator has selected, what is known of every device, and
// which commands apply to the selected one.
class DeviceContext : public DeviceStatusSource {
 public:
  virtual TSiteConfig* GetSiteConfig() const = 0;
  virtual SelectionSet& GetSelection() = 0;
  virtual int GetSelDetector() const = 0;
  virtual void SetSelDetector(int detector) = 0;
  virtual bool IsCommandEnabled(int id) const = 0;
};

}  // namespace quillark

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/site/devicetypes.h"

namespace quillark {

class TSiteConfig;

// One page of a device's alarm actions: the event bit it is about, its
// title's text number, and whether it is a contact input (with the "Bus
// reset" box, bit 0 of the input's mask).
struct ActionPage {
  std::int32_t bit = 0;
  int title = 0;
  bool input = false;
};

// The pages a model has, in sheet order: inputs 1 and 2, fire 2, fire 1,
// pre-alarm, aux, critical and non-critical fault, each only where the
// model can raise that event.
std::vector<ActionPage> ActionPagesForModel(int model, int version = 0);

// The alarm actions sheet without its window: the edited values of one
// device's pages, stored into the device by Apply().
class AlarmActions {
 public:
  // Sound file names and texts longer than this are cut.
  static constexpr std::size_t MAXVALUE = 256;
  static constexpr std::uint32_t BUSRESET = 0x01;

  struct Page : ActionPage {
    std::string sound;
    std::string text;
    bool busreset = false;
  };

  // False from Valid() when the site holds no such device.
  AlarmActions(TSiteConfig& site, std::uint32_t address, devicetype type);
  bool Valid() const { return valid; }

  std::vector<Page>& Pages() { return pages; }
  const std::vector<Page>& Pages() const { return pages; }
  // The page of `bit`, or null when the model has none.
  Page* FindPage(std::int32_t bit);

  // Copy the sounds and texts to every other device of the same type.
  bool saveall = true;

  // Stores every page into the device (blank stays none), the inputs' bus
  // reset bits into their masks (other mask bits kept), then copies when
  // `saveall`. False when the device has gone from the site.
  bool Apply();

 private:
  TSiteConfig& site;
  std::uint32_t address;
  devicetype type;
  bool valid = false;
  std::vector<Page> pages;
};

}  // namespace quillark

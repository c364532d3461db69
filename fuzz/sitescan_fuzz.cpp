// Any frame heard while a new site is being discovered: it becomes a site
// entry on the bus of its loop, with a known model, or nothing at all; and
// what is kept saves and loads back as the same entry.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/status/sitescan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int loop = data[0] % 20;  // some beyond the last loop
  const std::string frame(reinterpret_cast<const char*>(data + 1), size - 1);
  quillark::DeviceConfig device;
  std::array<int, quillark::FunctionSet::READCOUNT> values{};
  if (!quillark::SiteScan::TakeAnswer(loop, frame, device, values)) return 0;
  if (loop >= quillark::TSiteConfig::LOOPS) std::abort();
  if (!quillark::TSiteConfig::AddressProblem(device).empty()) std::abort();
  if (device.GetModel() < 0 || device.GetModel() > quillark::Detector::GetNumberOfDetectorTypes())
    std::abort();
  quillark::TSiteConfig site({}, true);
  if (site.InsertDevice(device) == nullptr) std::abort();
  std::stringstream text;
  if (!site.Save(text)) std::abort();
  quillark::TSiteConfig back;
  if (!back.Load(text)) std::abort();
  const quillark::DeviceConfig* again = back.GetDevice(device.GetAddress(), device.GetType());
  if (again == nullptr || !(*again == device)) std::abort();
  if (quillark::SiteScan::FnLines(device.GetAddress(), values).size() != 178u * 15u) std::abort();
  return 0;
}

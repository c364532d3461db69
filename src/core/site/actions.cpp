#include "core/site/actions.h"

#include "core/site/config.h"
#include "core/site/detector.h"

namespace quillark {
namespace {

constexpr ActionPage PAGES[] = {
    {CAP_INPUT1, 7300, true},     {CAP_INPUT2, 7400, true},
    {CAP_FIRE2, 31100, false},    {CAP_FIRE1, 31200, false},
    {CAP_PREALARM, 31300, false}, {CAP_AUX, 31400, false},
    {CAP_FAULT, 7600, false},     {CAP_NONCRITICALFAULT, 7500, false},
};

std::string Cut(std::string s) {
  if (s.size() > AlarmActions::MAXVALUE) s.resize(AlarmActions::MAXVALUE);
  return s;
}

}  // namespace

std::vector<ActionPage> ActionPagesForModel(int model, int version) {
  std::vector<ActionPage> pages;
  for (const ActionPage& p : PAGES)
    if (Detector::GetModelCaps(model, p.bit, version) != 0) pages.push_back(p);
  return pages;
}

AlarmActions::AlarmActions(TSiteConfig& s, std::uint32_t a, devicetype t)
    : site(s), address(a), type(t) {
  const DeviceConfig* d = site.GetDevice(address, type);
  if (d == nullptr) return;
  valid = true;
  for (const ActionPage& p : ActionPagesForModel(d->GetModel())) {
    Page page;
    static_cast<ActionPage&>(page) = p;
    page.sound = Cut(d->GetEventSound(p.bit));
    page.text = Cut(d->GetEventText(p.bit));
    if (p.input) {
      const std::uint32_t mask = p.bit == CAP_INPUT1 ? d->GetInput1Mask() : d->GetInput2Mask();
      page.busreset = (mask & BUSRESET) != 0;
    }
    pages.push_back(std::move(page));
  }
}

AlarmActions::Page* AlarmActions::FindPage(std::int32_t bit) {
  for (Page& p : pages)
    if (p.bit == bit) return &p;
  return nullptr;
}

bool AlarmActions::Apply() {
  DeviceConfig* d = site.GetDevice(address, type);
  if (d == nullptr) return false;
  for (const Page& p : pages) {
    d->SetEventSound(p.bit, Cut(p.sound));
    d->SetEventText(p.bit, Cut(p.text));
    if (!p.input) continue;
    std::uint32_t mask = p.bit == CAP_INPUT1 ? d->GetInput1Mask() : d->GetInput2Mask();
    mask = p.busreset ? (mask | BUSRESET) : (mask & ~BUSRESET);
    if (p.bit == CAP_INPUT1)
      d->SetInput1Mask(mask);
    else
      d->SetInput2Mask(mask);
  }
  if (saveall) site.SetGlobalActions(*d);
  return true;
}

}  // namespace quillark

#include "core/app/viewconsole.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "core/access/commands.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/site/config.h"
#include "core/views/chart.h"
#include "core/views/chartsource.h"
#include "core/views/histogram.h"
#include "core/views/histogramsource.h"
#include "core/views/sitemap.h"

namespace quillark {
namespace {

using Lines = Console::Lines;
using Args = Console::Args;

// How long a detector has to answer a histogram or chart request: a chart
// log is a long answer on a busy loop.
constexpr std::uint32_t ANSWERWAIT_MS = 10000;

const char* RankName(SiteMap::Rank rank) {
  static const char* const names[SiteMap::RANKS] = {"fire 2", "fire 1", "pre-alarm", "aux",
                                                    "fault",  "normal", "isolated"};
  return names[std::clamp(static_cast<int>(rank), 0, SiteMap::RANKS - 1)];
}

const char* KindName(devicetype kind) {
  switch (kind) {
    case SITE:
      return "site";
    case LOOP:
      return "loop";
    case ZONE:
      return "zone";
    case BUSCONTROLLER:
      return "command module";
    default:
      return "detector";
  }
}

class ViewConsole {
 public:
  ViewConsole(Console& c, TDockingApp& a) : console(c), app(a) {}

  Lines Histogram(const Args& args);
  Lines ChartWord(const Args& args);
  Lines Maps(const Args& args) const;

 private:
  std::optional<Lines> Guard(int id);
  // Ends a waiting word with `lines` (once), dropping its bus listener.
  void Finish(Lines lines);

  Console& console;
  TDockingApp& app;
  std::unique_ptr<HistogramSource> histogram;
  std::unique_ptr<ChartSource> chart;
  TimerHandle timeout;
  bool waiting = false;  // a word waits for its device's answer
};

std::optional<Lines> ViewConsole::Guard(int id) {
  if (app.GetSelDetector() < 0) return Lines{"error: select a detector first (select L-AAA)"};
  return CommandRefusal(app, id);
}

void ViewConsole::Finish(Lines lines) {
  if (!waiting) return;
  // The timeout is left to run out (it may be what called here): it finds
  // nothing waiting.
  waiting = false;
  // The source is still inside its own MsgRx: it goes once that is over.
  app.GetServices().events.Post([this, lines] {
    histogram.reset();
    chart.reset();
    console.SetBusy(false);
    console.LateAnswer(lines);
  });
}

Lines ViewConsole::Histogram(const Args& args) {
  if (!args.empty()) return {"error: usage: histogram"};
  if (auto refused = Guard(CMD_HISTOGRAM)) return *refused;
  const int device = app.GetSelDetector();
  histogram = std::make_unique<HistogramSource>(&app.GetBus(), device);
  histogram->SetObserver([this] {
    if (!waiting || histogram == nullptr || !histogram->IsValid()) return;
    const HistogramAnswer& a = histogram->Answer();
    using namespace HistogramText;
    Lines out;
    out.push_back(Format("%s histogram: %d classes of width %d, %s period",
                         Console::DeviceName(histogram->Device()).c_str(), a.classes, a.classwidth,
                         a.period == 1 ? "night" : "day"));
    out.push_back("level " + Level(a.adlevel) + " mean " + Hundredths(a.mean) + " variance " +
                  Hundredths(a.variance) + " fast learn" + FastLearn(a.fastlearn));
    out.push_back("thresholds fire2 " + Threshold(a.fire2) + " fire1 " + Threshold(a.fire) +
                  " prealarm " + Threshold(a.prealarm) + " aux " + Threshold(a.aux));
    std::string fast = "fast", slow = "slow";
    for (int i = 0; i < a.classes && i < HistogramAnswer::MAXCLASSES; ++i) {
      fast += " " + std::to_string(a.fast[static_cast<std::size_t>(i)]);
      slow += " " + std::to_string(a.slow[static_cast<std::size_t>(i)]);
    }
    out.push_back(fast);
    out.push_back(slow);
    Finish(out);
  });
  console.SetBusy(true);
  waiting = true;
  timeout = app.GetServices().events.SingleShot(ANSWERWAIT_MS, [this, device] {
    Finish({"error: " + Console::DeviceName(device) + " sent no histogram"});
  });
  histogram->Request();
  return {};
}

Lines ViewConsole::ChartWord(const Args& args) {
  if (args.size() > 1) return {"error: usage: chart [FILE]"};
  if (auto refused = Guard(CMD_CHARTLOG)) return *refused;
  const int device = app.GetSelDetector();
  std::filesystem::path file =
      args.empty()
          ? std::filesystem::path(Format("chart-%d-%03d.rcw", (device >> 8) + 1, device & 0xFF))
          : std::filesystem::path(args[0]);
  if (file.is_relative()) file = app.GetPaths().home / file;
  chart = std::make_unique<ChartSource>(&app.GetBus(), device, false);
  chart->SetObserver([this, file] {
    if (!waiting || chart == nullptr || chart->IsReading()) return;
    const Chart& c = chart->GetChart();
    const ChartFileResult saved = SaveChart(file, c);
    if (saved != ChartFileResult::OK) {
      Finish({std::string("error: ") + ChartFileEnglish(saved) + " (" + file.string() + ")"});
      return;
    }
    const ChartTimeDate& t = c.timedate;
    Finish({Format("%s chart: %d detector%s%s, %zu samples each, sampling every %u s (%s per "
                   "division)",
                   Console::DeviceName(c.device).c_str(), c.DetectorCount(),
                   c.DetectorCount() == 1 ? "" : "s", c.IsFlowRate() ? " (flow rate)" : "",
                   c.Length(), c.samplingperiod,
                   ChartRateText(c.samplingperiod, &app.GetServices().translator).c_str()),
            Format("last sample %02u/%02u/%02u %02u:%02u:%02u", unsigned{t.day}, unsigned{t.month},
                   unsigned{t.year}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second}),
            "saved to " + file.string()});
  });
  console.SetBusy(true);
  waiting = true;
  timeout = app.GetServices().events.SingleShot(ANSWERWAIT_MS, [this, device] {
    Finish({"error: " + Console::DeviceName(device) + " sent no chart"});
  });
  chart->Request();
  return {};
}

Lines ViewConsole::Maps(const Args& args) const {
  if (!args.empty()) return {"error: usage: maps"};
  const TSiteConfig* site = app.GetSiteConfig();
  if (site == nullptr) return {"error: no site"};
  std::vector<SiteMap::MapRef> refs;
  refs.push_back(SiteMap::SiteRef(app.GetServices().ini.ReadString("Maps", "Site", "")));
  const int loops = app.GetBus().GetLoops();
  for (int loop = 0; loop < loops; ++loop) refs.push_back(SiteMap::LoopRef(*site, loop));
  for (const DeviceConfig& d : *site) {
    if (d.GetType() == ZONE) {
      if (auto z = SiteMap::ZoneRef(*site, static_cast<int>(d.GetAddress()))) refs.push_back(*z);
    } else if (!d.GetMap().empty() && static_cast<int>(d.GetLoop()) < loops) {
      if (auto own = SiteMap::DeviceRef(
              *site, d.GetDeviceNumber() + (d.GetType() == POWERSUPPLY ? 127 : 0)))
        if (own->kind != ZONE) refs.push_back(*own);
    }
  }
  Lines out;
  for (const SiteMap::MapRef& ref : refs) {
    const std::string title = SiteMap::RefTitle(*site, ref, app.GetServices().translator);
    out.push_back(Format("%s (%s, %s):", title.c_str(), KindName(ref.kind),
                         ref.file.empty() ? "no picture" : ref.file.c_str()));
    for (const SiteMap::Item& item : SiteMap::Items(*site, ref)) {
      const unsigned status = app.GetDeviceStatus(item.device);
      // Above a byte: the marker of a device not heard from yet.
      const char* rank =
          status > 0xFF
              ? "unknown"
              : RankName(SiteMap::StatusRank(status, app.GetDeviceFaultStatus(item.device)));
      std::string line = Format("  %s at (%d,%d) %s", Console::DeviceName(item.device).c_str(),
                                item.at.x, item.at.y, rank);
      if (item.coverage)
        line += Format(" area (%d,%d)-(%d,%d)", item.area.left, item.area.top, item.area.right,
                       item.area.bottom);
      out.push_back(line);
    }
  }
  return out;
}

}  // namespace

void AddViewWords(Console& console, TDockingApp& app) {
  auto view = std::make_shared<ViewConsole>(console, app);
  console.AddWord({"histogram", "",
                   "read the selected detector's histogram: classes, level and thresholds",
                   [view](const Args& a) { return view->Histogram(a); }});
  console.AddWord({"chart", "[FILE]",
                   "read the selected detector's chart log and save it (.rcw, or .csv/.rec by "
                   "the name's ending; default chart-L-AAA.rcw in the program home)",
                   [view](const Args& a) { return view->ChartWord(a); }});
  console.AddWord({"maps", "", "the site's maps, each device on them with its place and rank",
                   [view](const Args& a) { return view->Maps(a); }});
}

}  // namespace quillark

// A site map of 2,032 detectors (16 loops of 127) on a 1920 x 1080 plan,
// painted offscreen with the map window's own drawing: the whole map, and
// what one detector's status change costs (the area asked to be repainted
// and painting it).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <map>
#include <memory>

#include "core/site/config.h"
#include "core/status/alrmdisp.h"
#include "core/status/devicestatussource.h"
#include "gui/views/mapview.h"
#include "support/apphost.h"
#include "support/fixedstatus.h"

namespace quillark {
namespace {

using test::FixedStatus;

constexpr int WIDTH = 1920, HEIGHT = 1080;

struct BigSite {
  BigSite() {
    TSiteConfig site;
    site.New();
    site.SetDeviceIconSize(24);
    for (int loop = 0; loop < 16; ++loop) {
      for (int a = 1; a <= 127; ++a) {
        const int i = loop * 127 + (a - 1);
        DeviceConfig d(static_cast<std::uint32_t>(loop * 256 + a), DETECTOR, PELORIN2000DETECTOR);
        d.SetParentAddress(static_cast<std::uint32_t>(loop * 256 + 1));
        d.SetParentType(BUSCONTROLLER);
        d.SetSiteXY({(i % 64) * 30 + 3, (i / 64) * 33 + 3});
        d.SetSiteorLoopCoverageArea({0, 0, 0, 0});
        site.InsertDevice(d);
      }
    }
    site.Save((host.home / "big.cfg").string());
    QImage plan(WIDTH, HEIGHT, QImage::Format_RGB888);
    plan.fill(Qt::white);
    QPainter p(&plan);
    p.setPen(QPen(Qt::black, 2));
    for (int x = 0; x < WIDTH; x += 240) p.drawLine(x, 0, x, HEIGHT);
    for (int y = 0; y < HEIGHT; y += 270) p.drawLine(0, y, WIDTH, y);
    p.end();
    plan.save(QString::fromStdString((host.home / "plan.bmp").string()), "BMP");
    host.Set("Comm", "Loops", "16");
    host.Set("Site", "Site", "big.cfg");
    host.Set("Maps", "Site", "plan.bmp");
    host.app->InitMainWindow(host.home.Path());
    host.app->SetDeviceStatusSource(&fixed);
    canvas = std::make_unique<MapCanvas>(*host.app, SiteMap::SiteRef("plan.bmp"));
    canvas->resize(WIDTH, HEIGHT + 12);
  }
  ~BigSite() {
    canvas.reset();
    host.app->SetDeviceStatusSource(host.app->GetMainWindow()->GetAlarmDisplay());
  }
  FixedStatus fixed;
  test::AppHost host;
  std::unique_ptr<MapCanvas> canvas;
};

BigSite& Site() {
  static BigSite site;
  return site;
}

void BM_MapWholeRepaint(benchmark::State& state) {
  BigSite& site = Site();
  QImage image(site.canvas->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    site.canvas->PaintMap(p, site.canvas->rect());
  }
  state.counters["devices"] = static_cast<double>(site.canvas->DeviceCount());
  state.counters["pixels"] = static_cast<double>(image.width()) * image.height();
}
BENCHMARK(BM_MapWholeRepaint)->Unit(benchmark::kMillisecond);

void BM_MapOneStatusChange(benchmark::State& state) {
  BigSite& site = Site();
  QImage image(site.canvas->size(), QImage::Format_RGB32);
  const int device = 7 * 256 + 64;
  double area = 0;
  bool fire = false;
  for (auto _ : state) {
    fire = !fire;
    site.fixed.status[device] = fire ? 0x11 : 0;
    // Finding the changed device among all, then painting only its area.
    const QRect r = site.canvas->RenderChangedDevices();
    QPainter p(&image);
    p.setClipRect(r);
    site.canvas->PaintMap(p, r);
    area = static_cast<double>(r.width()) * r.height();
  }
  state.counters["repainted_pixels"] = area;
  state.counters["share_of_map"] = area / (static_cast<double>(image.width()) * image.height());
}
BENCHMARK(BM_MapOneStatusChange)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillark

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

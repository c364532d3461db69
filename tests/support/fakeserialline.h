#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/serialline.h"

namespace quillark::test {

// A serial line in memory. The test keeps a FakeSerialLine::State that
// outlives the line (the port owns the line), sets how the line behaves and
// looks at what was written. Bytes leave only when the test says so (Drain),
// or when the port waits for them and `drainonwait` is set.
class FakeSerialLine : public SerialLine {
 public:
  struct State {
    // How Open ends; configuration failures leave the line open.
    SerialError openerror = SerialError::NONE;
    unsigned long code = 0;
    std::string errortext;
    bool drainonwait = true;
    bool refusewrites = false;

    std::string device;
    SerialSettings settings;
    bool open = false;
    std::vector<std::string> writes;  // each Write call
    int pending = 0;                  // bytes written but not yet gone
    int rxpurges = 0, txpurges = 0;
    std::string incoming;
    FakeSerialLine* line = nullptr;  // while the line exists

    // Everything written, in one string.
    std::string Written() const {
      std::string all;
      for (const auto& w : writes) all += w;
      return all;
    }
    // The queued bytes have left: the transmitter-empty callback runs.
    void Drain() {
      if (line != nullptr) line->DrainNow();
    }
    // Bytes arrive: the bytes-waiting callback runs.
    void Arrive(const std::string& bytes) {
      incoming += bytes;
      if (line != nullptr) line->Arrived();
    }
  };

  explicit FakeSerialLine(std::shared_ptr<State> s) : state(std::move(s)) { state->line = this; }
  ~FakeSerialLine() override { state->line = nullptr; }

  SerialError Open(const std::string& device, const SerialSettings& settings) override {
    state->device = device;
    state->settings = settings;
    const SerialError e = state->openerror;
    state->open = e == SerialError::NONE || e == SerialError::GETSTATE ||
                  e == SerialError::SETSTATE || e == SerialError::GETTIMEOUTS ||
                  e == SerialError::SETUPQUEUES;
    return e;
  }
  void Close() override { state->open = false; }
  bool IsOpen() const override { return state->open; }
  unsigned long ErrorCode() const override { return state->code; }
  std::string ErrorText() const override { return state->errortext; }

  int Read(char* buffer, int max) override {
    const int n = std::min(max, static_cast<int>(state->incoming.size()));
    std::copy_n(state->incoming.begin(), n, buffer);
    state->incoming.erase(0, static_cast<std::size_t>(n));
    return n;
  }
  int BytesWaiting() const override { return static_cast<int>(state->incoming.size()); }
  bool Write(const char* data, int length) override {
    if (state->refusewrites) return false;
    state->writes.emplace_back(data, static_cast<std::size_t>(length));
    state->pending += length;
    return true;
  }
  bool WaitForTxEmpty(int) override {
    if (state->pending > 0 && state->drainonwait) DrainNow();
    return state->pending == 0;
  }
  void Purge(bool receive, bool transmit) override {
    if (receive) {
      ++state->rxpurges;
      state->incoming.clear();
    }
    if (transmit) {
      ++state->txpurges;
      state->pending = 0;
    }
  }

  void DrainNow() {
    if (state->pending == 0) return;
    state->pending = 0;
    TransmitterEmpty();
  }
  void Arrived() { BytesArrived(); }

 private:
  std::shared_ptr<State> state;
};

}  // namespace quillark::test

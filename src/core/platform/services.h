#pragma once

#include <functional>
#include <memory>

#include "core/platform/serialline.h"

namespace quillark {

class EventLoop;
class EventWriter;
class INI;
class ProgramLauncher;
class Prompter;
class SoundPlayer;
class StatusDisplay;
class TcpFactory;
class Translator;

// Makes a serial line for a serial or HLI loop.
using SerialLineFactory = std::function<std::unique_ptr<SerialLine>()>;

// The services nearly every object of the program needs, handed round as one
// bundle by reference so that every object reaches them the same way and a
// test can put doubles in place of all of them at once. The host program
// chooses the implementations; the application adds the translator and its
// event writer.
struct Services {
  EventLoop& events;
  Prompter& prompter;
  StatusDisplay& status;
  INI& ini;
  Translator& translator;
  // Every noteworthy happening: text log, printer, e-mail, pager, listeners.
  EventWriter& writer;
  // Runs the mail transfer agent, the pager program and print commands.
  ProgramLauncher& launcher;
  SoundPlayer& sound;
  // Network loops and network monitoring; none means no networking.
  TcpFactory* tcp = nullptr;
  // Serial and HLI loops; none means no serial lines.
  SerialLineFactory seriallines;

  std::unique_ptr<SerialLine> MakeSerialLine() const {
    return seriallines ? seriallines() : nullptr;
  }
};

}  // namespace quillark

#pragma once

#include <string>

namespace quillark {

// Event categories: a bit each; the notification outputs pick their word from it.
enum EventCategory : int {
  WE_INFORMATION = 1,
  WE_FAULT = 2,
  WE_ALARM = 4,
  WE_SECURITY = 8,
  WE_SYSLOG = 16,
};

// The word written with an event of a category; anything unlisted is information.
inline const char* EventCategoryName(int category) {
  switch (category) {
    case WE_FAULT:
      return "FAULT";
    case WE_ALARM:
      return "ALARM";
    case WE_SECURITY:
      return "SECURITY";
    case WE_SYSLOG:
      return "SYSLOG";
    default:
      return "INFORMATION";
  }
}

// Where every noteworthy happening is announced (text log, printer, e-mail, pager).
class EventWriter {
 public:
  virtual ~EventWriter() = default;
  virtual void WriteEvent(int category, const std::string& text) = 0;
};

}  // namespace quillark

// Statuses in test failure messages as their codes, and progress lines recorded as text.
#pragma once

#include <ostream>
#include <string>

#include "base/progress.h"
#include "base/status.h"

namespace vexal {

inline void PrintTo(Status status, std::ostream* out) {
  *out << static_cast<int>(status);
}

// The code of a status, for tables of expected codes.
inline int code_of(Status status) {
  return static_cast<int>(status);
}

namespace test {

// The progress lines as the console would show them, with the subject as passed.
class RecordingProgress final : public Progress {
 public:
  void begin(Step step, std::string_view subject) override {
    static constexpr const char* kOpenings[] = {"Loading archive ", "Loading folder ",
                                                "Saving archive ", "Swapping archive ",
                                                "Restoring archive "};
    text += kOpenings[static_cast<int>(step)];
    text += "\"" + std::string(subject) + "\" ... ";
  }
  void end(bool succeeded) override { text += succeeded ? "done\n" : "failed\n"; }

  std::string text;
};

}  // namespace test
}  // namespace vexal

// Statuses in test failure messages as their codes, and what a reporter is told,
// recorded as text.
#pragma once

#include <ostream>
#include <string>

#include "base/expected.h"
#include "base/reporter.h"
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

// The progress steps, each as its number, subject and end, and the warnings and
// explanations, one per line.
class RecordingReporter final : public Reporter {
 public:
  void begin(Step step, std::string_view subject) override {
    text += std::to_string(static_cast<int>(step)) + " " + std::string(subject) + " ";
  }
  void end(bool succeeded) override { text += succeeded ? "done\n" : "failed\n"; }
  void warn(std::string_view line) override { warnings += std::string(line) + "\n"; }
  // Keeps the failure's explanations as the console would print them, and gives its status.
  Status explained(const Failure& failure) {
    for (const std::string& line : failure.explanations) {
      explanations += line + "\n";
    }
    return failure.status;
  }

  std::string text;
  std::string warnings;
  std::string explanations;
};

}  // namespace test
}  // namespace vexal

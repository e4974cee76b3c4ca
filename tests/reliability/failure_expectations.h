// What each export gives when one of its locks or allocations fails, as its design states it:
// a record that cannot be locked is refused with 0 and nothing changed; a bitmap that cannot be
// locked gives 1 with nothing changed in most in-place exports and 0 in the rest; working memory
// that cannot be had gives the export's own failure result.
#pragma once

#include <string_view>
#include <vector>

namespace ormi::test {

enum class FailResult { Zero, One };

// What a failing call may have changed in its input image.
enum class FailChanges {
  None,        // record, header copy and pixels all as before
  RecordOnly,  // the record's transparency fields may be marked; header copy and pixels as before
};

struct FailOutcome {
  FailResult result;
  FailChanges changes = FailChanges::None;
};

struct FailureExpectation {
  std::string_view exportName;
  std::vector<FailOutcome> leadingLocks;  // when the 1st, 2nd, ... lock of the call fails
  FailOutcome laterLocks;                 // any lock after those
  FailOutcome allocs;                     // any allocation, of global, local or heap memory
  // Argument values besides the defaults whose paths lock or allocate differently.
  std::vector<std::vector<double>> moreArgs = {};
};

// The entry of an export, or nullptr when the table has none.
const FailureExpectation* FailureExpectationOf(std::string_view exportName);

}  // namespace ormi::test

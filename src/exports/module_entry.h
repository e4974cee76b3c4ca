#pragma once

namespace ormi {

// Runs when the library is attached to a process.
void AttachProcess();

}  // namespace ormi

#pragma once

namespace vyr::cli {

// SIGTERM, SIGINT and SIGHUP (Windows: the first two) from here on only ask the running command
// to stop: the window's yield then answers false, a copy removes its temporary file, and the
// command ends with 128 + the signal, as a shell counts a process the signal ended.
void StopOnSignals();

// The signal that asked the run to stop, or 0.
int StopSignal();
bool StopRequested();

}  // namespace vyr::cli

#pragma once

namespace vyr::app {

// The program's start: one copy per user, the window, its load step with the command line, then
// the event loop until the window closes. Returns the exit status.
//
// A first argument "--screenshot FILE.png" (not offered to users) loads the rest of the command
// line as usual, saves the window's picture to FILE.png and ends; it works beside a running copy.
// "--screenshot-dark FILE.png" does the same in a dark theme's colours.
int Main(int argc, char** argv);

}  // namespace vyr::app

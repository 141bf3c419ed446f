// The Windows program: start-up as the command line has it, then the main
// window over the window model.
#pragma once

namespace molv {

// argv as main received it; the command line itself is read wide.
int runWin32Window(int argc, char** argv);

}  // namespace molv

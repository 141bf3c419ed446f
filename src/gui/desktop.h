// The desktop program: start-up as the command line has it, then the main
// window. With a source on its command line the window converts it at once
// and the program ends after "Conversion complete"; otherwise the user
// works in the window until it is closed.
#pragma once
#include <string>

namespace molv {

// argv as main received it; Qt's own options (-platform ...) are taken out
// before the program reads the rest.
int runDesktop(int argc, char** argv);

// The text of --help.
std::string desktopHelpText();

}  // namespace molv

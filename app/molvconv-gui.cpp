// The desktop program: the molvConv window.
#include "gui/desktop.h"

int main(int argc, char** argv) { return molv::runDesktop(argc, argv); }

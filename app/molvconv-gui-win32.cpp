// The Windows desktop program: the molvConv window.
#include "win32/win32_window.h"

int main(int argc, char** argv) { return molv::runWin32Window(argc, argv); }

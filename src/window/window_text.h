// The texts the window shows of its own: Help's five blocks and the About
// box. Plain strings, so they are checked without a window.
#pragma once
#include <string>
#include <vector>

namespace molv {

// Where users report problems and read more; Help and About name them.
inline constexpr const char* kContactAddress = "the issue list of the molvConv repository";
inline constexpr const char* kWebAddress = "README.md in the molvConv repository";

// Help's blocks, each one log message whose lines are cut by CR.
std::vector<std::string> helpBlocks(const std::string& title);
std::string aboutText(const std::string& title);

}  // namespace molv

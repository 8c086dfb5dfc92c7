#pragma once

#include <optional>
#include <string>
#include <string_view>

// The launcher's side of the one instance per session, without Qt, so that `orvantide --toggle`
// can hand its request to a running instance before Qt's libraries are loaded at all. Each answer
// is the one SingleInstance gives; where working it out needs more than the environment and a
// stat (no display, a folder the program would refuse, names outside ASCII) there is none, and
// the program itself decides.
namespace orv::launcher {

// SingleInstance::sessionName.
std::optional<std::string> sessionName(std::string_view x11Display,
                                       std::string_view waylandDisplay);

// SingleInstance::standardName, from this process's environment.
std::optional<std::string> instanceSocketPath();

// Asks the instance listening on `socketPath` to toggle its palette, as a second launch does.
// False, having sent nothing, unless a process holds the instance lock and both the socket and
// the process listening on it are this user's.
bool toggleRunningInstance(const std::string& socketPath);

}  // namespace orv::launcher

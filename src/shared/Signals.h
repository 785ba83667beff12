#pragma once

#include <csignal>
#include <span>

namespace shared {

// Installs action for each signal that whoever started the process has not set to be
// ignored: a process started under nohup, or in the background of a script, keeps
// ignoring what it was told to.
void catch_unless_ignored(std::span<const int> numbers, const struct sigaction& action);

// The signals that were ignored when the process started, as read before main, so before
// anything here could change a disposition. One reading for the whole process.
const sigset_t& ignored_at_start();

} // namespace shared

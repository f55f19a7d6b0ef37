#pragma once
// What keeps a secret: who may read a file, and a line typed on the terminal
// without being shown. Failures fill *failure as Files.h describes (Source
// "Secrets.<call>"). UI thread or any single thread.
#include "runtime/ErrorRecord.h"

#include <cstdint>
#include <string>

namespace ostrak {

// The permission bits (07777) of path, links followed.
bool FileModeBits(const std::string& path, uint32_t& mode, ErrorRecord* failure = nullptr);

// Writes prompt to the controlling terminal and reads one line there with
// echo off (the line end is not kept). False when there is no terminal or
// the input ends before a line.
bool ReadHiddenLine(const std::string& prompt, std::string& line, ErrorRecord* failure = nullptr);

} // namespace ostrak

#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

/**
 * Everything that differs between Windows and the rest lives behind these functions; Platform.cpp holds the
 * only platform check of the core library.
 */
namespace gw::platform {

/** The separator used to build and cut paths: a backslash on Windows, a slash elsewhere. */
char pathSeparator();

/** Text of names stored in songs and catalogues: the host's 8-bit code page (Windows-1252 off Windows) to UTF-8. */
std::string ansiToUtf8(std::string_view bytes);

/** Opens a file named by a UTF-8 path for reading raw bytes, or returns null. */
std::FILE* openForReading(const std::string& utf8Path);

/**
 * The program's arguments as the system holds them: UTF-8 from the wide command line on Windows, the raw bytes
 * elsewhere, where a file name need not be valid UTF-8.
 */
std::vector<std::string> commandLineArguments(int argc, char* argv[]);

/**
 * Lets a program built as a window application write to the console it was started from, for the command-line
 * mode. Does nothing where programs always have their terminal.
 */
void attachParentConsole();

} // namespace gw::platform

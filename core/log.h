// The game's log: "game_log.txt" and "server_log.txt" in the program folder,
// UTF-16LE with a byte-order mark, one time-stamped line per call. Every line also
// goes to standard output and the debugger channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Modes: 0 append to the game log, 1 start it afresh, 2 append to the server log,
// 3 start it afresh. The result is true only when a line was appended to a file.
bool Log(int32_t mode, std::u16string text);     // modes 0 and 1
bool LogEx(int32_t mode, std::string text);      // modes 0 to 3
bool LogNarrow(std::string text);                // mode 0
void LogDirectXError(int32_t result);            // failure codes only

// The folder the log files are written to (default: the program folder). Tests
// point it at a folder of their own.
void SetLogFolder(std::u16string folder);
// Whether log lines also go to standard output (on by default). A console tool whose
// output is its own lines turns it off.
void SetLogEcho(bool on);
std::u16string GetLogFolder();

// "Www Mmm dd hh:mm:ss yyyy" of a local time (the C runtime's ctime form, without
// its newline; the day always has two digits).
std::u16string FormatCtime(int year, int month, int day, int hour, int minute, int second, int weekday);

// A log call held back on a worker thread, to be written later in a set order.
struct DeferredLogLine {
  int32_t mode = 0;
  bool narrow = false;  // made by LogEx / LogNarrow
  std::u16string text;
  std::string narrowText;
};
// While a buffer is set for the calling thread, its log calls (and the file layer's
// notices) go into it instead of the log, and report true; null ends that. Returns
// the buffer set before. Work spread over threads keeps the log in the order a
// single thread would write it.
std::vector<DeferredLogLine>* SetThreadLogBuffer(std::vector<DeferredLogLine>* buffer);
// Writes held-back lines as the calls that made them would have.
void ReplayLogLines(const std::vector<DeferredLogLine>& lines);

// The names of the log folder: the product's current logs, the names they are set aside
// under, and what the sweep reads from a name. A current log is "OmbrixLog.<id>.<kind>.log";
// set aside, it becomes "OmbrixLog<n>.<id>.<kind>.log" with the rotation number n written with
// at least two digits. The sweep takes every name that begins with "OmbrixLog." and every
// rotated log name, and reads the identifier of the process that wrote the log from the name.
#pragma once

#include <cstdint>

#include "platform/wide_text.h"

// The product's two kinds of log, each sent in this order.
constexpr const char16_t* kLogKinds[] = {u"Streamer", u"Runner"};

// "OmbrixLog.<logId>.<kind>.log".
WideString CurrentLogName(const char16_t* kind, const WideString& logId);
// "OmbrixLog<n>.<logId>.<kind>.log", n written with "%02d".
WideString RotatedLogName(int number, const char16_t* kind, const WideString& logId);

// Whether name is a rotated log name: "OmbrixLog", one or more digits, ".", an identifier that
// is not empty, ".", "Streamer" or "Runner", ".log" (letter case counts).
bool IsRotatedLogName(WideView name);

// Whether a name the sweep found beginning with "OmbrixLog." ends in ".zip": an archive that a
// run left behind, never a log.
bool IsLeftOverArchiveName(WideView name);

// The process identifier a swept log name carries: in a rotated log name the identifier field,
// otherwise the text after "OmbrixLog."; read as a decimal number at its start (white space
// skipped, an optional sign, digits up to the first non-digit); 0 when there are no digits.
std::uint32_t ProcessIdOfLogName(WideView name);

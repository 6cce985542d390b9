// BuiltInTlsRoots: the roots a program's TLS connections trust unless told otherwise, fixed
// when the program is built. Each executable links its own definition, which CMake writes from
// a PEM file (LOGSENDER_CA_FILE for the log sender; see logsender_built_in_trust in
// cmake/LogSender.cmake): the file's text, or the empty text, which stands for the system store.
#pragma once

// A zero-terminated PEM text; empty for the system store.
const char* BuiltInTlsRoots() noexcept;

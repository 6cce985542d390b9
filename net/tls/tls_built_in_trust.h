// BuiltInTlsRoots: the roots a program's TLS connections trust unless told otherwise, fixed
// when the program is built. Each executable links its own definition, which CMake writes
// (logsender_built_in_trust in cmake/LogSender.cmake, through cmake/embed_trust.cmake): the
// pinned certificates of a PEM file the build has checked, every byte of the file, or the
// system store for a program built without a file, and for no other.
#pragma once

#include "net/tls/tls_engine.h"

CTlsTrust BuiltInTlsRoots();

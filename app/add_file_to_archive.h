// AddFileToArchive: streams one file of a folder into an open archive as its one deflated
// entry, named by the file's bare name. A file that cannot be opened exclusively (missing,
// or held by another opener, the archive's own writer included) adds no entry and gives the
// open's error number (0 once the file was opened). A read that fails part way leaves in the
// entry what was read before it.
#pragma once

#include <minizip/zip.h>

#include "platform/wide_text.h"

#include <cstdint>

std::uint32_t AddFileToArchive(zipFile archive, WideView folder, WideView fileName);

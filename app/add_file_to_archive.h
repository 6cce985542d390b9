// AddFileToArchive: streams one held file into an open archive as its one deflated entry,
// named by the file's bare name. The file is read from its start in 8192-byte pieces. Every
// step is checked (the entry opened, each read and write, the entry closed): false when any
// fails, and the archive must then not be posted, since it does not hold the whole file.
#pragma once

#include <minizip/zip.h>

#include "platform/exclusive_file.h"
#include "platform/wide_text.h"

bool AddFileToArchive(zipFile archive, CExclusiveFile& file, WideView fileName);

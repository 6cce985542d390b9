// The name of a log's archive: the log's file name up to its last ".", then ".zip"; a name
// without "." gets ".zip" appended whole. OmbrixLog07.4321.Runner.log gives
// OmbrixLog07.4321.Runner.zip, OmbrixLog.1234 gives OmbrixLog.zip, Report gives Report.zip.
#pragma once

#include "platform/wide_text.h"

WideString ArchiveNameOf(WideView logFileName);

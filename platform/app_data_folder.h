// The user's local application-data folder, under which the product keeps Ombrix/Log.
#pragma once

#include "platform/wide_text.h"

// False when the folder cannot be determined; the caller must then touch no file at all
// rather than fall back on some other place.
bool LocalAppDataFolder(WideString& folder);

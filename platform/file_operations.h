// Deleting and renaming files. Both refuse a file that another opener holds, and a rename
// never replaces a file that exists at the target: a log in use or a log already set aside
// stays where it is.
#pragma once

#include "platform/wide_text.h"

// Deletes the file at path. False when it is missing, in use or cannot be deleted.
bool DeleteFileAt(WideView path);

// Whether anything (a file, a folder, a link even when it dangles) is at path.
bool FileExistsAt(WideView path);

// Moves the file at from to to. False when from is missing or in use, when to exists, or
// when the move fails.
bool RenameFileNoReplace(WideView from, WideView to);

// The program's process-wide texts, fixed when the program is built: the product word and the
// upload address (the CMake cache variable LOGSENDER_UPLOAD_URL, handed to each program target
// as a definition; nothing at run time changes it). Included by the start-up code only.
#pragma once

namespace {

constexpr const char* kProductWord = "Ombrix";
constexpr const char* kUploadAddress = LOGSENDER_UPLOAD_URL;

}  // namespace

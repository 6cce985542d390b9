// The run of the log sender: the command word checked, the product's two current logs set
// aside under a randomly numbered name and uploaded, then the sweep of logs left behind by
// processes that have ended and of logs set aside by runs that never sent them, as long as the
// run's time lasts. The inputs
// that come from the platform (the upload address, the application-data folder, the seed of
// the draw) are handed in, so that tests drive the same code with their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "net/proxy/proxy_chooser.h"
#include "platform/wide_text.h"

// Points of the run a test may stop it at.
enum class RunStep { kStreamerSetAside, kRunnerSetAside };

// No upload starts once the run has gone on this long: a run meets its end even against a
// receiver that takes each upload to the edge of its own bounds, and what it did not start
// stays in the folder for a later run. An upload under way then still ends within its bounds.
constexpr std::chrono::minutes kRunTime{10};

struct CRunContext {
    WideString productWord;
    WideString uploadAddress;
    // The local application-data folder; none when it cannot be determined, and the run
    // then touches no file at all.
    std::optional<WideString> appDataFolder;
    // Seed of the pseudo-random draw of the rotation number (the tick count in production).
    std::uint32_t seed = 0;
    // Told of each step as the run passes it; none in the program.
    void (*onStep)(RunStep step) = nullptr;
    // The clock of the run's time; tests hand in their own.
    std::chrono::steady_clock::time_point (*now)() = &std::chrono::steady_clock::now;
    // Makes the run's one proxy chooser: the system's settings in the program.
    std::unique_ptr<CProxyChooser> (*makeProxyChooser)() = &SystemProxyChooser;
};

// Converts the 8-bit command line, splits it and, for "sendlogs", runs. Every exception ends
// the run quietly; the result, the process's exit status, is always 0.
int RunLogSender(std::string_view commandLine, const CRunContext& context) noexcept;

// Rotation number of a draw r in 0..32767: 1000 * r / 32767, so 0..1000.
int RotationNumberOf(int draw);

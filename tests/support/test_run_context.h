// The run context the app tests hand to RunLogSender: the product word "Ombrix", an upload
// address, a data folder (none: the run finds no folder), and seed 59, whose first draw gives
// rotation number 07.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "app/run_flow.h"

constexpr std::uint32_t kSeedFor7 = 59;

inline CRunContext TestRunContext(const std::u16string& uploadAddress,
                                  std::optional<std::u16string> dataFolder,
                                  std::uint32_t seed = kSeedFor7) {
    CRunContext context;
    context.productWord = u"Ombrix";
    context.uploadAddress = uploadAddress;
    context.appDataFolder = std::move(dataFolder);
    context.seed = seed;
    return context;
}

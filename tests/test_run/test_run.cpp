// logsender_test_run: the log sender's run as a program of the tests, with a data folder and an
// upload address of the test's own, that can end itself dead at a point of the run, as a
// machine shutting down or a user ending the process would:
//   logsender_test_run <data folder> <upload address> <none|streamer|runner> [command line...]
// "streamer" and "runner" end it right after that log has been set aside. The rotation number
// is drawn from the tick count, as the program draws it. The exit status is the run's, 0.
#include <cstring>

#include "app/log_sender_entry.h"
#include "app/run_flow.h"
#include "platform/text_conversion.h"
#include "platform/tick_count.h"
#include "tests/support/child_process.h"

namespace {

RunStep stopAt = RunStep::kStreamerSetAside;

void StopThere(RunStep step) {
    if (step == stopAt) {
        EndThisProcessAtOnce();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    CRunContext context;
    context.productWord = u"Ombrix";
    context.appDataFolder = NarrowToWide(argv[1]);
    context.uploadAddress = NarrowToWide(argv[2]);
    context.seed = TickCount();
    if (std::strcmp(argv[3], "none") != 0) {
        stopAt = std::strcmp(argv[3], "runner") == 0 ? RunStep::kRunnerSetAside
                                                     : RunStep::kStreamerSetAside;
        context.onStep = &StopThere;
    }
    return RunLogSender(JoinArguments(argc - 3, argv + 3), context);
}

// CChildProcess: what both platforms share, the start from the constructor, the end in the
// destructor and the cutting of the collected output into lines.
#include "tests/support/child_process.h"

CChildProcess::CChildProcess(const std::vector<std::string>& argv) {
    Start(argv);
}

CChildProcess::~CChildProcess() {
    Kill();
}

bool CChildProcess::ReadLine(std::string& line, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return true;
        }
        if (!Fetch(deadline)) {
            return false;
        }
    }
}

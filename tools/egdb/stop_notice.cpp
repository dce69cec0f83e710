#include "stop_notice.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace tarnvel::egdbtool {

namespace {

// The handler may only write what is ready: the text is copied here first.
char notice[4096];
size_t noticeBytes = 0;

void onStop(int signal) {
    for (size_t done = 0; done < noticeBytes;) {
        const ssize_t n = ::write(STDERR_FILENO, notice + done, noticeBytes - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void sayOnStop(const std::string& text) {
    noticeBytes = std::min(text.size(), sizeof notice);
    std::memcpy(notice, text.data(), noticeBytes);
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
}

}  // namespace tarnvel::egdbtool

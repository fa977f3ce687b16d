#include "app/password_input.h"

#include "report/console.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>
#endif

namespace velorin::tool {

StdinLine ReadFirstLine(const std::function<int()>& nextByte) {
    StdinLine line;
    const auto keep = [&line](char kept) {
        if (line.text.size() < MAX_STDIN_PASSWORD_BYTES) line.text.push_back(kept);
    };
    // A CR is kept only once the byte after it is known to be neither LF nor the end: a pipe
    // without a final LF must not hand on a CR that no keyboard can type.
    bool heldCr = false;
    for (size_t count = 0; count < MAX_STDIN_PASSWORD_LINE; ++count) {
        const int ch = nextByte();
        if (ch == STDIN_UNREADABLE) return {"", true};
        if (ch < 0 || ch == '\n') break;
        if (heldCr) keep('\r');
        heldCr = ch == '\r';
        if (!heldCr) keep(static_cast<char>(ch));
    }
    return line;
}

WithoutByteOrderMark::WithoutByteOrderMark(std::function<int()> nextByte)
    : next_(std::move(nextByte)) {}

int WithoutByteOrderMark::operator()() {
    if (!started_) {
        started_ = true;
        constexpr int MARK[] = {0xEF, 0xBB, 0xBF};
        for (const int expected : MARK) {
            held_[heldCount_++] = next_();
            if (held_[heldCount_ - 1] != expected) break;
        }
        if (held_[heldCount_ - 1] == MARK[2]) heldCount_ = 0;
    }
    if (given_ < heldCount_) return held_[given_++];
    return next_();
}

namespace {

#ifdef _WIN32

// Without a standard input handle (a closed one, none given) there is nothing to read.
HANDLE StandardInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    return input == INVALID_HANDLE_VALUE ? nullptr : input;
}

int ReadStdinByte(HANDLE input) {
    if (input == nullptr) return STDIN_UNREADABLE;
    unsigned char ch = 0;
    DWORD count = 0;
    if (ReadFile(input, &ch, 1, &count, nullptr)) return count == 1 ? ch : STDIN_END;
    // A pipe whose writer has closed its end reports that instead of an empty read.
    const DWORD error = GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? STDIN_END : STDIN_UNREADABLE;
}

// Echo off on the console for the life of the object. A Ctrl+C or a closed window ends the
// process from the control handler, which puts the saved mode back first.
class HiddenInput {
  public:
    explicit HiddenInput(HANDLE input) : input_(input) {
        DWORD mode = 0;
        if (input_ == nullptr || !GetConsoleMode(input_, &mode)) return;
        savedInput_ = input_;
        savedMode_ = mode;
        SetConsoleCtrlHandler(RestoreOnControl, TRUE);
        active_ = SetConsoleMode(input_, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    ~HiddenInput() {
        if (savedInput_ == nullptr) return;
        if (active_) SetConsoleMode(input_, savedMode_);
        SetConsoleCtrlHandler(RestoreOnControl, FALSE);
        savedInput_ = nullptr;
    }
    HiddenInput(const HiddenInput&) = delete;
    HiddenInput& operator=(const HiddenInput&) = delete;

  private:
    static BOOL WINAPI RestoreOnControl(DWORD) {
        if (savedInput_ != nullptr) SetConsoleMode(savedInput_, savedMode_);
        return FALSE;  // the default handler still ends the process
    }

    static inline HANDLE savedInput_ = nullptr;
    static inline DWORD savedMode_ = 0;
    HANDLE input_;
    bool active_ = false;
};

bool IsTerminal(HANDLE input) {
    DWORD mode = 0;
    return input != nullptr && GetConsoleMode(input, &mode) != 0;
}

#else

using Handle = int;

Handle StandardInput() { return STDIN_FILENO; }

// A descriptor left non-blocking by whoever set it up is waited on, not taken for the end.
int ReadStdinByte(Handle input) {
    unsigned char ch = 0;
    for (;;) {
        const ssize_t count = read(input, &ch, 1);
        if (count == 1) return ch;
        if (count == 0) return STDIN_END;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return STDIN_UNREADABLE;
        pollfd ready = {input, POLLIN, 0};
        if (poll(&ready, 1, -1) < 0 && errno != EINTR) return STDIN_UNREADABLE;
    }
}

// Every signal whose default action ends the process and that a handler can catch; any of
// them at the prompt would otherwise leave the terminal without echo. SIGKILL cannot be
// caught; the stop signals and those ignored by default do not end the process.
constexpr int ENDING_SIGNALS[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef __linux__
    SIGSTKFLT, SIGIO,   SIGPWR,
#endif
};

// The signals above and, where the system has them, the real-time ones, which end the
// process by default as well.
std::vector<int> EndingSignals() {
    std::vector<int> signals(std::begin(ENDING_SIGNALS), std::end(ENDING_SIGNALS));
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
#endif
    return signals;
}

// Echo off on the terminal for the life of the object. Each signal that would end the process
// at its default action puts the saved mode back first, so an interrupted prompt leaves a
// usable terminal. A signal the process ignores (nohup's SIGHUP) stays ignored.
class HiddenInput {
  public:
    explicit HiddenInput(Handle input) : input_(input) {
        if (tcgetattr(input_, &saved_) != 0) return;
        termios hidden = saved_;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        savedInput_ = input_;
        for (const int signal : EndingSignals()) CatchIfDefault(signal);
        active_ = tcsetattr(input_, TCSANOW, &hidden) == 0;
    }
    ~HiddenInput() {
        if (savedInput_ < 0) return;
        if (active_) tcsetattr(input_, TCSANOW, &saved_);
        for (const SavedAction& saved : previous_) sigaction(saved.signal, &saved.action, nullptr);
        savedInput_ = -1;
    }
    HiddenInput(const HiddenInput&) = delete;
    HiddenInput& operator=(const HiddenInput&) = delete;

  private:
    void CatchIfDefault(int signal) {
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL) return;
        struct sigaction restore = {};
        restore.sa_handler = RestoreOnSignal;
        sigemptyset(&restore.sa_mask);
        if (sigaction(signal, &restore, nullptr) == 0) previous_.push_back({signal, previous});
    }

    // Only async-signal-safe calls: put the mode back, then die of the signal as before.
    static void RestoreOnSignal(int signal) {
        if (savedInput_ >= 0) tcsetattr(savedInput_, TCSANOW, &saved_);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }

    static inline Handle savedInput_ = -1;
    static inline termios saved_ = {};
    Handle input_;
    struct SavedAction {
        int signal;
        struct sigaction action;
    };

    std::vector<SavedAction> previous_;
    bool active_ = false;
};

bool IsTerminal(Handle input) { return isatty(input) != 0; }

#endif

// The lines of standard input in turn, the first without a byte-order mark. Once a read has
// failed, every later line is empty.
class StdinLines {
  public:
    explicit StdinLines(decltype(StandardInput()) input) : input_(input) {}

    std::string Next() {
        if (failed_) return {};
        const auto source = [input = input_] { return ReadStdinByte(input); };
        const StdinLine line =
            first_ ? ReadFirstLine(WithoutByteOrderMark(source)) : ReadFirstLine(source);
        first_ = false;
        failed_ = line.unreadable;
        return line.text;
    }

    bool Failed() const { return failed_; }

  private:
    decltype(StandardInput()) input_;
    bool first_ = true;
    bool failed_ = false;
};

}  // namespace

void HoldClosedStandardInput() {
#ifndef _WIN32
    if (fcntl(STDIN_FILENO, F_GETFD) != -1 || errno != EBADF) return;
    // open gives the lowest free descriptor, which is 0 here.
    const int held = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (held > STDIN_FILENO) close(held);
#endif
}

StdinPasswords ReadPasswordsFromStdin(bool current, bool replacement) {
    const auto input = StandardInput();
    StdinLines lines(input);
    StdinPasswords passwords;
    if (!IsTerminal(input)) {
        if (current) passwords.current = lines.Next();
        if (replacement) passwords.replacement = lines.Next();
        passwords.unreadable = lines.Failed();
        return passwords;
    }
    const auto prompt = [](const char* text) {
        ConsolePrint("%s", text);
        std::fflush(stdout);
    };
    const auto answer = [&lines] {
        std::string line = lines.Next();
        ConsolePrint("\n");
        return line;
    };
    // The first prompt is written before echo goes off: whoever waits for that to type finds
    // the prompt on the screen. Echo then stays off across the prompts, so nothing typed ahead
    // shows between them.
    prompt(current ? "Supervisor password: " : "New password: ");
    const HiddenInput hidden(input);
    if (current) passwords.current = answer();
    if (replacement && !lines.Failed()) {
        if (current) prompt("New password: ");
        passwords.replacement = answer();
        prompt("Retype new password: ");
        passwords.retypeDiffers = answer() != passwords.replacement;
    }
    passwords.unreadable = lines.Failed();
    return passwords;
}

}  // namespace velorin::tool

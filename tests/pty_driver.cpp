#include "pty_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#ifndef DROPIX_BIN
#error "DROPIX_BIN must name the game binary"
#endif

long long now_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

const char* game_path()
{
    const char* other = std::getenv("DROPIX_BIN_UNDER_TEST");
    return other && *other ? other : DROPIX_BIN;
}

namespace {

volatile sig_atomic_t g_job = 0; // what the test asks of the shell: SIGUSR1 fg, SIGUSR2 bg

void on_job(int sig) { g_job = sig; }

// The parent of the game, in the terminal's session: a shell with job
// control in miniature. It gives the game the terminal (unless started in
// the background), takes it back when the game stops and reports the stop,
// and does `fg` and `bg` when the test asks.
[[noreturn]] void shell(int tty, pid_t game, bool background, int stops)
{
    setpgid(game, game);
    if (!background)
        tcsetpgrp(tty, game);
    for (;;) {
        int st;
        const pid_t r = waitpid(game, &st, WUNTRACED | WNOHANG);
        if (r == game && WIFSTOPPED(st)) {
            tcsetpgrp(tty, getpgrp());
            const char b = 'S';
            if (write(stops, &b, 1) != 1)
                _exit(126);
        } else if (r == game) {
            _exit(WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st));
        } else if (r < 0 && errno != EINTR) {
            _exit(126);
        }
        if (g_job == SIGUSR1)
            tcsetpgrp(tty, game);
        if (g_job != 0)
            kill(-game, SIGCONT);
        g_job = 0;
        usleep(2000);
    }
}

} // namespace

PtyGame::PtyGame(const Options& o) : screen(o.cols, o.rows), hold_(o.hold_replies)
{
    dir = o.cwd;
    if (dir.empty()) {
        char tmpl[] = "/tmp/dropix-e2e-XXXXXX";
        if (!mkdtemp(tmpl))
            throw std::runtime_error("mkdtemp");
        dir = tmpl;
        own_dir_ = true;
    }
    struct winsize ws = {};
    ws.ws_col = static_cast<unsigned short>(o.cols);
    ws.ws_row = static_cast<unsigned short>(o.rows);
    int pfd[2] = {-1, -1}, sfd[2] = {-1, -1};
    if ((o.stdin_pipe && pipe(pfd) != 0) || pipe(sfd) != 0)
        throw std::runtime_error("pipe");
    pid = forkpty(&master_, nullptr, nullptr, &ws);
    if (pid < 0)
        throw std::runtime_error("forkpty");
    if (pid == 0) {
        close(sfd[0]);
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        // The terminal the screen stands for, unless a test names another:
        // what the game sends must not hang on where the tests run.
        setenv("TERM", "xterm-256color", 1);
        for (const auto& kv : o.env)
            setenv(kv.first.c_str(), kv.second.c_str(), 1);
        for (const auto& k : o.unset)
            unsetenv(k.c_str());
        // The terminal, whatever standard input becomes.
        const int tty = dup(STDIN_FILENO);
        if (o.stdin_pipe) {
            dup2(pfd[0], STDIN_FILENO);
            close(pfd[0]);
            close(pfd[1]);
        }
        if (!o.stdout_file.empty()) {
            int fd = open(o.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                _exit(126);
            dup2(fd, STDOUT_FILENO);
            close(fd);
        }
        std::string prog = o.program.empty() ? game_path() : o.program;
        struct sigaction sa = {};
        sa.sa_handler = on_job;
        sigaction(SIGUSR1, &sa, nullptr);
        sigaction(SIGUSR2, &sa, nullptr);
        ::signal(SIGTTOU, SIG_IGN);
        pid_t game = fork();
        if (game == 0) {
            setpgid(0, 0);
            if (!o.background)
                tcsetpgrp(tty, getpid());
            close(tty);
            close(sfd[1]);
            // As a job-control shell starts a job: no signal ignored,
            // whatever this process was started with.
            for (int sig = 1; sig < NSIG; sig++)
                ::signal(sig, SIG_DFL);
            std::vector<char*> argv{const_cast<char*>(prog.c_str())};
            for (const std::string& a : o.args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(prog.c_str(), argv.data());
            _exit(127);
        }
        shell(tty, game, o.background, sfd[1]);
    }
    close(sfd[1]);
    stops_pipe_ = sfd[0];
    fcntl(stops_pipe_, F_SETFL, fcntl(stops_pipe_, F_GETFL) | O_NONBLOCK);
    if (o.stdin_pipe) {
        close(pfd[0]);
        in_pipe_ = pfd[1];
    }
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyGame::~PtyGame()
{
    if (status_ == -1 && pid > 0) {
        if (game() > 0)
            kill(-game_, SIGKILL);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (own_dir_) {
        std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0)
            fprintf(stderr, "cannot remove %s\n", dir.c_str());
    }
    if (in_pipe_ >= 0)
        close(in_pipe_);
    if (stops_pipe_ >= 0)
        close(stops_pipe_);
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
}

void PtyGame::type(const std::string& s)
{
    int fd = in_pipe_ >= 0 ? in_pipe_ : master_;
    size_t off = 0;
    while (off < s.size()) {
        ssize_t w = write(fd, s.data() + off, s.size() - off);
        if (w > 0)
            off += static_cast<size_t>(w);
        else if ((w < 0 && errno != EAGAIN && errno != EINTR) || wait_exit(0) != -1)
            return; // nobody will read the rest
        else
            pump(1);
    }
}

void PtyGame::close_input()
{
    if (in_pipe_ >= 0) {
        close(in_pipe_);
        in_pipe_ = -1;
    } else {
        type("\x04");
    }
}

bool PtyGame::pump(int timeout_ms)
{
    struct pollfd p = {master_, POLLIN, 0};
    if (hold_ && answer_at_ >= 0) {
        const long long left = answer_at_ - now_ms();
        if (left <= 0 && !screen.replies.empty() && write(master_, screen.replies.data(), screen.replies.size()) > 0) {
            screen.replies.clear();
            answered_ = true;
        }
        if (left > 0 && left < timeout_ms)
            timeout_ms = static_cast<int>(left);
    }
    if (stalled) {
        poll(nullptr, 0, timeout_ms);
        return false;
    }
    if (poll(&p, 1, timeout_ms) <= 0)
        return false;
    char b[65536];
    bool any = false;
    for (;;) {
        ssize_t r = read(master_, b, sizeof b);
        if (r <= 0)
            break;
        if (!any) {
            struct timespec ts;
            clock_gettime(CLOCK_MONOTONIC, &ts);
            last_read_ns = ts.tv_sec * 1000000000LL + ts.tv_nsec;
        }
        raw.append(b, static_cast<size_t>(r));
        screen.feed(b, static_cast<size_t>(r));
        // The terminal answers what the game asks of it.
        if (!hold_ && !screen.replies.empty() && write(master_, screen.replies.data(), screen.replies.size()) > 0)
            screen.replies.clear();
        any = true;
    }
    return any;
}

bool PtyGame::wait_for(const std::function<bool(const Screen&)>& ok, int timeout_ms)
{
    long long end = now_ms() + timeout_ms;
    for (;;) {
        if (ok(screen))
            return true;
        long long left = end - now_ms();
        if (left <= 0)
            return false;
        pump(static_cast<int>(left < 50 ? left : 50));
    }
}

bool PtyGame::wait_text(const std::string& s, int timeout_ms)
{
    return wait_for([&](const Screen& sc) { return sc.contains(s); }, timeout_ms);
}

int PtyGame::wait_exit(int timeout_ms)
{
    if (status_ != -1)
        return status_;
    long long end = now_ms() + timeout_ms;
    for (;;) {
        int st;
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid) {
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            while (pump(20)) {
            }
            return status_;
        }
        if (now_ms() >= end)
            return -1;
        pump(10);
    }
}

pid_t PtyGame::game()
{
    // The shell's one child, once it is there.
    for (long long end = now_ms() + 5000; game_ <= 0 && now_ms() < end; usleep(1000)) {
        std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
        FILE* f = fopen(path.c_str(), "r");
        if (!f)
            break;
        long child = -1;
        if (fscanf(f, "%ld", &child) == 1)
            game_ = static_cast<pid_t>(child);
        fclose(f);
    }
    return game_;
}

void PtyGame::signal(int sig) { kill(-game(), sig); }

void PtyGame::fg() { kill(pid, SIGUSR1); }

void PtyGame::bg() { kill(pid, SIGUSR2); }

bool PtyGame::stopped()
{
    std::string path = "/proc/" + std::to_string(game()) + "/stat";
    FILE* f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    char buf[512] = {0};
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    const char* p = strrchr(buf, ')');
    return n > 0 && p && p[1] == ' ' && p[2] == 'T';
}

bool PtyGame::blocked_in_write()
{
    std::ifstream f("/proc/" + std::to_string(game()) + "/syscall");
    long nr = -1;
    std::string fd;
    return f >> nr >> fd && nr == SYS_write && fd == "0x1";
}

int PtyGame::stops()
{
    char b[64];
    for (ssize_t r; (r = read(stops_pipe_, b, sizeof b)) > 0;)
        stops_ += static_cast<int>(r);
    return stops_;
}

void PtyGame::resize(int cols, int rows)
{
    struct winsize ws = {};
    ws.ws_col = static_cast<unsigned short>(cols);
    ws.ws_row = static_cast<unsigned short>(rows);
    screen.resize(cols, rows);
    ioctl(master_, TIOCSWINSZ, &ws);
}

struct termios PtyGame::modes() const
{
    struct termios t;
    std::memset(&t, 0, sizeof t);
    tcgetattr(slave_, &t);
    return t;
}

void PtyGame::answer_after(int ms) { answer_at_ = now_ms() + ms; }

std::string PtyGame::unread_input(int ms)
{
    struct termios t = modes();
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = static_cast<cc_t>(ms / 100);
    tcsetattr(slave_, TCSANOW, &t);
    std::string got;
    char b[256];
    for (ssize_t r; (r = read(slave_, b, sizeof b)) > 0;)
        got.append(b, static_cast<size_t>(r));
    return got;
}

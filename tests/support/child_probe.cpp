// A stand-in for a program that a run starts: it tells what it found at its start (open descriptors,
// standard input, signal dispositions and mask, process group and session), then does what it was
// asked to.
//
// Words on its command line of the form key=value; other words (a configuration file's path) are
// ignored:
//   report=<file>  write the findings to this file instead of standard output (also the environment
//                  variable NAW_PROBE_REPORT=<file>, for a probe started with other words)
//   then=exit:<n>  end with status n (the default: exit:0)
//   then=write:<n> write n lines of 99 letters and a line end to standard output, then end with 0
//   then=leave     leave a child behind that ignores SIGTERM and keeps standard output open, say
//                  "left <pid>" and end with 0

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string findings()
{
    std::string out = "descriptors";
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        std::vector<int> fds;
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const int fd = std::atoi(entry->d_name);
            if (fd != ::dirfd(dir))
                fds.push_back(fd);
        }
        ::closedir(dir);
        std::sort(fds.begin(), fds.end());
        for (const int fd : fds) {
            out += ' ';
            out += std::to_string(fd);
        }
    }
    out += "\n";

    char target[4096] = {};
    const ssize_t length = ::readlink("/proc/self/fd/0", target, sizeof target - 1);
    out += "stdin " + std::string(length > 0 ? target : "closed") + "\n";

    struct stat outStat {}, errStat {};
    const bool same = ::fstat(1, &outStat) == 0 && ::fstat(2, &errStat) == 0 && outStat.st_dev == errStat.st_dev
                      && outStat.st_ino == errStat.st_ino;
    out += std::string("stderr ") + (same ? "stdout" : "elsewhere") + "\n";

    const std::pair<int, const char*> signals[] = {
        {SIGPIPE, "SIGPIPE"}, {SIGINT, "SIGINT"},   {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"},
        {SIGQUIT, "SIGQUIT"}, {SIGCHLD, "SIGCHLD"}, {SIGUSR1, "SIGUSR1"}, {SIGALRM, "SIGALRM"},
        {SIGTSTP, "SIGTSTP"}, {SIGTTOU, "SIGTTOU"}, {SIGXFSZ, "SIGXFSZ"}};
    sigset_t blocked;
    sigemptyset(&blocked);
    ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
    for (const auto& [number, name] : signals) {
        struct sigaction action {};
        ::sigaction(number, nullptr, &action);
        out += std::string(name) + (action.sa_handler == SIG_IGN ? " ignored" : " default")
               + (sigismember(&blocked, number) ? " blocked" : "") + "\n";
    }
    out += std::string("group ") + (::getpgrp() == ::getpid() ? "own" : "parent's") + "\n";
    out += std::string("session ") + (::getsid(0) == ::getpid() ? "own" : "parent's") + "\n";
    return out;
}

void writeAll(int fd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote <= 0)
            std::exit(3);
        done += std::size_t(wrote);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string report, then = "exit:0";
    if (const char* file = std::getenv("NAW_PROBE_REPORT"))
        report = file;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.rfind("report=", 0) == 0)
            report = word.substr(7);
        else if (word.rfind("then=", 0) == 0)
            then = word.substr(5);
    }

    const std::string seen = findings();
    if (report.empty()) {
        writeAll(1, seen);
    } else {
        const int fd = ::open((report + ".part").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return 2;
        writeAll(fd, seen);
        ::close(fd);
        ::rename((report + ".part").c_str(), report.c_str()); // whole or not at all
    }

    if (then.rfind("exit:", 0) == 0)
        return std::atoi(then.c_str() + 5);
    if (then.rfind("write:", 0) == 0) {
        const long lines = std::atol(then.c_str() + 6);
        const std::string line = std::string(99, 'x') + "\n";
        std::string block;
        for (int i = 0; i < 1000; ++i)
            block += line;
        long left = lines;
        for (; left >= 1000; left -= 1000)
            writeAll(1, block);
        writeAll(1, block.substr(0, std::size_t(left) * line.size()));
        return 0;
    }
    if (then == "leave") {
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGTERM, SIG_IGN);
            for (;;)
                ::pause();
        }
        writeAll(1, "left " + std::to_string(child) + "\n");
        return 0;
    }
    return 4;
}

// Runs a program and writes its own resource usage to a report file. The
// measuring parent must be small: Linux counts the resident size a process
// had before exec in its peak, so a child started straight from a large
// benchmark process would inherit that process's size as its peak.
//
// usage: peak_launcher REPORT PROGRAM [ARGS...]
// REPORT receives "<max rss KiB> <user+system ms> <exit status>".
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: peak_launcher REPORT PROGRAM [ARGS...]\n");
        return 2;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[2], argv + 2);
        std::perror("exec");
        _exit(127);
    }
    if (pid < 0)
        return 2;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0)
        return 2;
    const double ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    FILE* report = std::fopen(argv[1], "w");
    if (!report)
        return 2;
    std::fprintf(report, "%ld %.3f %d\n", usage.ru_maxrss, ms, code);
    std::fclose(report);
    return code;
}

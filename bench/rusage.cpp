// Runs a command and prints its CPU seconds (user + system) and peak resident size in kilobytes, as
// "cpu=S peak_kb=K". A fork from a small process, so that the peak is the command's and not that of a
// large parent whose pages the child holds until it execs.
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ravelin-rusage COMMAND [ARGUMENT...]\n");
        return 2;
    }
    pid_t const pid = fork();
    if (pid < 0)
        return 2;
    if (pid == 0) {
        int const null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return 2;
    double const cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("cpu=%.3f peak_kb=%ld\n", cpu, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#include "platform/Secrets.h"

#include "platform/PosixError.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace ostrak {

bool FileModeBits(const std::string& path, uint32_t& mode, ErrorRecord* failure) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ReportFailure(failure, "Secrets.FileModeBits", path, errno);
    mode = static_cast<uint32_t>(st.st_mode & 07777);
    return true;
}

bool ReadHiddenLine(const std::string& prompt, std::string& line, ErrorRecord* failure) {
    const char* source = "Secrets.ReadHiddenLine";
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return ReportFailure(failure, source, "/dev/tty", errno);
    termios saved{};
    const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ssize_t ignored = ::write(fd, prompt.data(), prompt.size());
    std::string read;
    char c = 0;
    ssize_t got = 0;
    while ((got = ::read(fd, &c, 1)) == 1 && c != '\n')
        read.push_back(c);
    const int code = got < 0 ? errno : 0;
    if (isTerminal)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    ignored = ::write(fd, "\n", 1);
    (void)ignored;
    ::close(fd);
    if (got != 1)
        return code ? ReportFailure(failure, source, "/dev/tty", code)
                    : ReportFailureText(failure, source, "/dev/tty", "the input ended");
    line = std::move(read);
    return true;
}

} // namespace ostrak

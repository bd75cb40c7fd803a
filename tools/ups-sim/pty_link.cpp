#include "pty_link.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace upssim {
namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string ReadLink(const std::string& path) {
    std::vector<char> target(4096);
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
    return length < 0 ? std::string()
                      : std::string(target.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::unique_ptr<PtyLink> PtyLink::Create(const std::string& linkPath, std::string& error) {
    std::unique_ptr<PtyLink> link(new PtyLink());
    link->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (link->master_ < 0) {
        error = SystemError("posix_openpt");
        return nullptr;
    }
    if (::grantpt(link->master_) != 0 || ::unlockpt(link->master_) != 0) {
        error = SystemError("grantpt/unlockpt");
        return nullptr;
    }
    const char* slaveName = ::ptsname(link->master_);
    if (slaveName == nullptr) {
        error = SystemError("ptsname");
        return nullptr;
    }
    link->slaveName_ = slaveName;
    link->slave_ = ::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (link->slave_ < 0) {
        error = SystemError("open " + link->slaveName_);
        return nullptr;
    }
    // Raw, so CR reaches us as CR and nothing is echoed back to a program that does not set
    // the line up itself; and 2400 8N1, the only settings the device answers at.
    termios settings{};
    if (::tcgetattr(link->slave_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B2400);
        ::cfsetospeed(&settings, B2400);
        settings.c_cflag &= ~CSTOPB;
        settings.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(link->slave_, TCSANOW, &settings);
    }
    const int flags = ::fcntl(link->master_, F_GETFL);
    ::fcntl(link->master_, F_SETFL, flags | O_NONBLOCK);

    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath + " exists and is not a symbolic link; not replacing it";
        return nullptr;
    }
    // Made beside the final name and renamed over it, so a reader never finds the path missing
    // or pointing nowhere while a stale link is replaced.
    const std::string temporary = linkPath + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(slaveName, temporary.c_str()) != 0) {
        error = SystemError("symlink " + temporary);
        return nullptr;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = SystemError("rename to " + linkPath);
        ::unlink(temporary.c_str());
        return nullptr;
    }
    link->linkPath_ = linkPath;
    return link;
}

PtyLink::~PtyLink() {
    // Another simulator may have taken the path over since; its link stays.
    if (!linkPath_.empty() && ReadLink(linkPath_) == slaveName_) {
        ::unlink(linkPath_.c_str());
    }
    if (slave_ >= 0) {
        ::close(slave_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PtyLink::ReleaseExclusiveUse() const {
#ifdef TIOCNXCL
    ::ioctl(slave_, TIOCNXCL);
#endif
}

}  // namespace upssim

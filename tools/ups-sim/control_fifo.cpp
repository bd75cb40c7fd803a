#include "control_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace upssim {

std::unique_ptr<ControlFifo> ControlFifo::Open(const std::string& path, std::string& error) {
    std::unique_ptr<ControlFifo> fifo(new ControlFifo());
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) {
        if (::mkfifo(path.c_str(), 0600) != 0) {
            error = "mkfifo " + path + ": " + std::strerror(errno);
            return nullptr;
        }
        fifo->createdPath_ = path;
    } else if (!S_ISFIFO(existing.st_mode)) {
        error = path + " exists and is not a named pipe";
        return nullptr;
    }
    fifo->reader_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fifo->reader_ < 0) {
        error = "open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    fifo->keepAlive_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    return fifo;
}

ControlFifo::~ControlFifo() {
    if (keepAlive_ >= 0) {
        ::close(keepAlive_);
    }
    if (reader_ >= 0) {
        ::close(reader_);
    }
    if (!createdPath_.empty()) {
        ::unlink(createdPath_.c_str());
    }
}

}  // namespace upssim

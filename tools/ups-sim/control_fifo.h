#pragma once
// The --control named pipe. It stays open for reading across any number of writers coming and
// going (echo "mains off" > FIFO), because the simulator holds a writer of its own.

#include <memory>
#include <string>

namespace upssim {

class ControlFifo {
public:
    // Creates the FIFO when the path is free; uses an existing FIFO; refuses anything else.
    static std::unique_ptr<ControlFifo> Open(const std::string& path, std::string& error);
    ~ControlFifo();
    ControlFifo(const ControlFifo&) = delete;
    ControlFifo& operator=(const ControlFifo&) = delete;

    int ReadFd() const { return reader_; }

private:
    ControlFifo() = default;

    int reader_ = -1;
    int keepAlive_ = -1;
    std::string createdPath_;  // removed on exit when we made it
};

}  // namespace upssim

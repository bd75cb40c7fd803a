#pragma once
// The simulator's end of the line: a pseudo-terminal whose slave side is reachable through a
// symbolic link at a path of the user's choice.

#include <memory>
#include <string>

namespace upssim {

class PtyLink {
public:
    // Opens the pseudo-terminal and puts the link in place (replacing a stale link, never
    // anything else). Null with `error` set on failure.
    static std::unique_ptr<PtyLink> Create(const std::string& linkPath, std::string& error);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlaveName() const { return slaveName_; }
    // A program on the other end may have died with the line marked for exclusive use; while
    // we hold the slave open that mark would outlive it and lock every later program out.
    void ReleaseExclusiveUse() const;

private:
    PtyLink() = default;

    int master_ = -1;
    int slave_ = -1;  // held open so the line never hangs up between the other end's opens
    std::string slaveName_;
    std::string linkPath_;
};

}  // namespace upssim

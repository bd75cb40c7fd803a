// setupprobe.exe: reads what the setup left behind the way Windows itself reads it, for the
// installer tests under Wine.
//
//   setupprobe link FILE       the shortcut's target, working folder and arguments, one a line:
//                              target=..., folder=..., arguments=...
//   setupprobe window CLASS    whether a top-level window of that class exists (exit status)
//
// Exit status 0 when the thing asked for was found and read, 1 otherwise.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

void Print(const std::wstring& line) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(),
                        length, nullptr, nullptr);
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (ok_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const { return ok_; }

private:
    const bool ok_;
};

// Through IShellLink, as Explorer starts a shortcut.
int ReadLink(const wchar_t* file) {
    const ComApartment com;
    if (!com.ok()) {
        return 1;
    }
    IShellLinkW* raw = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&raw)))) {
        return 1;
    }
    const ComPtr<IShellLinkW> link(raw);
    IPersistFile* rawFile = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile)))) {
        return 1;
    }
    const ComPtr<IPersistFile> persist(rawFile);
    if (FAILED(persist->Load(file, STGM_READ))) {
        return 1;
    }
    std::vector<wchar_t> text(MAX_PATH * 4);
    const int size = static_cast<int>(text.size());
    // SLGP_RAWPATH: the path as stored, not resolved against what exists now.
    if (FAILED(link->GetPath(text.data(), size, nullptr, SLGP_RAWPATH))) {
        return 1;
    }
    Print(std::wstring(L"target=") + text.data());
    if (FAILED(link->GetWorkingDirectory(text.data(), size))) {
        return 1;
    }
    Print(std::wstring(L"folder=") + text.data());
    if (FAILED(link->GetArguments(text.data(), size))) {
        return 1;
    }
    Print(std::wstring(L"arguments=") + text.data());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: setupprobe link FILE | window CLASS\n", stderr);
        return 2;
    }
    // Lines end in LF, as the shell reading them expects.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::wstring command = argv[1];
    if (command == L"link") {
        return ReadLink(argv[2]);
    }
    if (command == L"window") {
        return FindWindowW(argv[2], nullptr) != nullptr ? 0 : 1;
    }
    return 2;
}

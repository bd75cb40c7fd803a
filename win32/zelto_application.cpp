#include "win32/zelto_application.h"

namespace zelto {

ZeltoApplication::ZeltoApplication(PowerRequests& power)
    : form1_(ui_, images_),
      // Owned by the main window: no taskbar entries of their own, and modal for it.
      form2_(form1_.Handle(), ui_),
      aboutBox_(form1_.Handle(), ui_, images_),
      program_(Platform{store_, port_, portTable_, form1_, form1_, form2_, power, errors_}) {
    form1_.Attach(program_, form2_, aboutBox_, errors_);
}

void ZeltoApplication::StartNutServer() {
    Settings settings(store_);
    nut_ = NutServer::Start(settings, errors_, program_.Nut());
}

int ZeltoApplication::Run() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        // Tab, Escape and Enter among the main window's controls.
        if (!IsDialogMessageW(form1_.Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace zelto

#include "core/link/port_access.h"

namespace zelto {

std::string PortAccessDeniedText(const std::string& path, const std::string& group) {
    std::string text = "Нет доступа к порту " + path;
    if (group.empty()) {
        text += ". Попросите администратора разрешить вам открывать это устройство.";
    } else {
        text += ": его могут открывать только члены группы " + group +
                ". Добавьте себя в неё командой «sudo usermod -aG " + group +
                " $USER», затем выйдите из системы и войдите снова.";
    }
    return text +
           " Пока порт закрыт, компьютер не защищён; программа откроет порт сама, как только "
           "доступ появится.";
}

}  // namespace zelto

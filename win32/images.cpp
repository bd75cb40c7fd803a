#include "win32/images.h"

#include "win32/resource_ids.h"

namespace zelto {
namespace {

IconHandle LoadIconResource(int id, int size) {
    return IconHandle(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                    IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

HICON Pick(const std::array<IconHandle, kImageListSize>& list, int index) {
    if (index < 0 || index >= kImageListSize) {
        return nullptr;
    }
    return list[static_cast<std::size_t>(index)].get();
}

}  // namespace

Images::Images()
    : plug_(LoadIconResource(ZELTO_ICON_PLUG, 32)),
      ups_(LoadIconResource(ZELTO_ICON_UPS, 32)),
      computer_(LoadIconResource(ZELTO_ICON_COMPUTER, 32)),
      app16_(LoadIconResource(ZELTO_ICON_APP, 16)),
      app32_(LoadIconResource(ZELTO_ICON_APP, 32)) {
    for (int index = 0; index < kImageListSize; ++index) {
        const auto at = static_cast<std::size_t>(index);
        list16_[at] = LoadIconResource(ZELTO_ICON_LIST16 + index, 16);
        list32_[at] = LoadIconResource(ZELTO_ICON_LIST32 + index, 32);
    }
}

HICON Images::List16(int index) const {
    return Pick(list16_, index);
}

HICON Images::List32(int index) const {
    return Pick(list32_, index);
}

}  // namespace zelto

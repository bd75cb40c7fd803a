#pragma once
// Every picture the program shows, from the icons in its resources (drawn as SVG in resources/
// and rendered at build time). Loaded once at start-up and kept for the whole run.

#include "win32/windows_api.h"

#include <array>

#include "win32/unique_handle.h"

namespace zelto {

inline constexpr int kImageListSize = 12;

class Images {
public:
    Images();

    // Pictures of ImageList16 / ImageList32; nullptr for an index outside 0..11.
    HICON List16(int index) const;
    HICON List32(int index) const;
    HICON Plug() const { return plug_.get(); }
    HICON Ups() const { return ups_.get(); }
    HICON Computer() const { return computer_.get(); }
    // The application icon drawn for 16, 32 or 48 px.
    HICON App16() const { return app16_.get(); }
    HICON App32() const { return app32_.get(); }

private:
    std::array<IconHandle, kImageListSize> list16_;
    std::array<IconHandle, kImageListSize> list32_;
    IconHandle plug_;
    IconHandle ups_;
    IconHandle computer_;
    IconHandle app16_;
    IconHandle app32_;
};

}  // namespace zelto

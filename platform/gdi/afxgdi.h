// The framework's wrappers of graphics objects.
#pragma once

#include "gdi.h"
#include "object.h"

class CGdiObject : public CObject {
public:
    CGdiObject() : m_hObject(nullptr) {}
    ~CGdiObject() override;

    // Takes hObject, releasing what the object held before.
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();

    HGDIOBJ m_hObject;
};

class CPalette : public CGdiObject {
public:
    CPalette() = default;

    BOOL CreatePalette(LPLOGPALETTE lpLogPalette);
    UINT GetPaletteEntries(UINT nStartIndex, UINT nNumEntries,
                           LPPALETTEENTRY lpPaletteColors) const;
    operator HPALETTE() const { return reinterpret_cast<HPALETTE>(m_hObject); }
};

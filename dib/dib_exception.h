// The image library's own exception: the one that ends the decoding of a picture which
// cannot be decoded. It carries no message; its type alone says what happened.
#pragma once

#include "afx.h"

class CDIBException : public CMemoryException {
    DECLARE_DYNAMIC(CDIBException)
public:
    CDIBException() = default;
    ~CDIBException() override = default;
};

#include "dib_exception.h"

IMPLEMENT_DYNAMIC(CDIBException, CMemoryException)

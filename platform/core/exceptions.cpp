#include "exceptions.h"

namespace {
long g_liveExceptions = 0;
}

long AfxLiveExceptionCount() {
    return g_liveExceptions;
}

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)

CException::CException() {
    ++g_liveExceptions;
}

CException::~CException() {
    --g_liveExceptions;
}

void CException::Delete() {
    delete this;
}

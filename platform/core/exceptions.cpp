#include "exceptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
long g_liveExceptions = 0;
}

long AfxLiveExceptionCount() {
    return g_liveExceptions;
}

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CFileException, CException)

CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {
    ++g_liveExceptions;
}

CException::~CException() {
    --g_liveExceptions;
}

static void ClearMessage(LPTSTR lpszError, UINT nMaxError) {
    if (lpszError && nMaxError > 0)
        lpszError[0] = '\0';
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, UINT* pnHelpContext) {
    if (pnHelpContext)
        *pnHelpContext = 0;
    ClearMessage(lpszError, nMaxError);
    return FALSE;
}

int CException::ReportError(UINT, UINT) {
    return 0;
}

void CException::Delete() {
    if (m_bAutoDelete > 0)
        delete this;
}

BOOL CSimpleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, UINT* pnHelpContext) {
    // No message resource is ever loaded for these exceptions.
    return CException::GetErrorMessage(lpszError, nMaxError, pnHelpContext);
}

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(nullptr) {
    if (lpszFileName)
        m_strFileName = strdup(lpszFileName);
}

CFileException::~CFileException() {
    free(m_strFileName);
}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, UINT* pnHelpContext) {
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0)
        return FALSE;
    snprintf(lpszError, nMaxError, "File error %d on %s", m_cause,
             m_strFileName ? m_strFileName : "an unnamed file");
    return TRUE;
}

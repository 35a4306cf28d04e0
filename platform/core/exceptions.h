// The framework's exception family. Exceptions are thrown as heap pointers
// (throw new CFileException(...)), caught as CException*, and released with Delete().
#pragma once

#include "cstring.h"
#include "object.h"

class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    CException();
    ~CException() override;

    // Frees the exception: every exception here is made with new.
    void Delete();
};

class CMemoryException : public CException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    CMemoryException() = default;
};

class CFileException : public CException {
    DECLARE_DYNAMIC(CFileException)
public:
    // The causes the platform reports, with the framework's numbers.
    enum {
        none = 0,
        fileNotFound = 2,
        badPath = 3,
        accessDenied = 5,
        invalidFile = 6,
        badSeek = 9,
        hardIO = 10,
        endOfFile = 14
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszFileName) {}

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

// Number of exception objects alive: tests use it to prove every caught exception was deleted.
long AfxLiveExceptionCount();

// CFile over the host's files, opened the way the original platform reads a path. Read and
// seek errors are thrown as CFileException pointers.
#pragma once

#include "exceptions.h"

#include <string>
#include <vector>

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000
    };
    enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };

    CFile();
    ~CFile() override;

    // Opens for reading only; any write mode fails. A name that is not a regular file (a
    // folder, a pipe, a device) does not open.
    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void Close();

protected:
    [[noreturn]] void ThrowFileException(int cause, int osError) const;
    ULONGLONG SeekHost(LONGLONG lOff, int whence) const;

private:
    int m_fd;
    std::string m_strFileName;
};

// Turns a path as the original platform reads it into a host path: both separators, a
// leading drive letter mapped to <data folder>/drive_<letter>, a leading ~ for the home
// folder, and a case-insensitive search for components that are not found as written.
std::string AfxResolvePath(LPCTSTR lpszPath);

// The running program's file, or empty when the system does not say.
std::string AfxGetExecutablePath();

// The installation's data folder, <exe dir>/../share/kyrattack, unless a test set another.
std::string AfxGetDataFolder();
void AfxSetDataFolder(const std::string& folder);

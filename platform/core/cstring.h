// CString: the framework's 8-bit string, as much of it as the viewer uses.
#pragma once

#include "wintypes.h"

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCTSTR psz) : m_str(psz ? psz : "") {}
    CString(const std::string& s) : m_str(s) {}

    void Format(LPCTSTR lpszFormat, ...) __attribute__((format(printf, 2, 3)));
    operator LPCTSTR() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    bool operator==(const CString& other) const { return m_str == other.m_str; }

private:
    std::string m_str;
};

#include "cstring.h"

#include <cstdarg>
#include <cstdio>

void CString::Format(LPCTSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, lpszFormat, copy);
    va_end(copy);
    if (n < 0) {
        m_str.clear();
    } else {
        std::string out((size_t)n + 1, '\0');
        vsnprintf(out.data(), out.size(), lpszFormat, args);
        out.resize((size_t)n);
        m_str = std::move(out);
    }
    va_end(args);
}

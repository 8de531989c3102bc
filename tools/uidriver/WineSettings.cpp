#include "WineSettings.h"

#include <windows.h>

namespace uidriver {

bool SetAppWindowsVersion(const std::string& exeName, const std::string& version) {
    const std::string keyPath = "Software\\Wine\\AppDefaults\\" + exeName;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                                         static_cast<DWORD>(version.size() + 1));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::string WinePath(const std::string& unixPath) {
    if (unixPath.empty() || unixPath[0] != '/') return unixPath;
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

}  // namespace uidriver

// Settings Wine takes from its registry and paths as Wine shows them.
#ifndef UIDRIVER_WINESETTINGS_H
#define UIDRIVER_WINESETTINGS_H

#include <string>

namespace uidriver {

// Makes Wine report this Windows version (for example "win98") to every
// program named exeName (HKCU\Software\Wine\AppDefaults\<exeName>, Version).
bool SetAppWindowsVersion(const std::string& exeName, const std::string& version);

// A Unix path as a Windows program under Wine sees it: the Unix root is Z:.
// Windows paths are returned unchanged.
std::string WinePath(const std::string& unixPath);

}  // namespace uidriver

#endif

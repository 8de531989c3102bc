// Loads comctl32.dll by name, as an import table entry would: the search
// starts in this program's own folder. Exit code 0 when something loaded.
#include <windows.h>

int main() { return ::LoadLibraryA("comctl32.dll") != nullptr ? 0 : 1; }

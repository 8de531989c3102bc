// The process's one sum.txt total.
#include "flash/SumTrace.h"

CSumTrace& CSumTrace::Process() {
    static CSumTrace s_process;
    return s_process;
}

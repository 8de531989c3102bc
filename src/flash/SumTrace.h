// CSumTrace: the running "_total" that sum.txt shows after every chunk
// attempt, one per process.
#pragma once

#include <cstdint>

// The "_total" of sum.txt, a diagnostic shown after every chunk attempt: the
// running chunk sum of every attempt the process has made, added up modulo
// 65536 and never reset, so it carries over from one upgrade to the next.
// One per process; upgrades run one at a time on the worker thread, so it is
// not locked.
class CSumTrace {
public:
    static CSumTrace& Process();

    std::uint16_t Total() const { return _total; }
    // Adds one chunk attempt's running sum; answers the new total.
    std::uint16_t Add(std::uint16_t secSum) {
        _total = static_cast<std::uint16_t>(_total + secSum);
        return _total;
    }

private:
    std::uint16_t _total = 0;
};

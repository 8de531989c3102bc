// LoadImage: reads the firmware image into the 1 MB image buffer.
//
// ".hex" is Intel-HEX text with record types 00 (data) and 01 (end) and the
// program's own type 55, which moves the data base to the next 64 KB
// segment. ".bin" is copied byte for byte, then summed and searched for the
// drive's identification and revision.
//
// The character reading reports its own failures (end of file or a
// non-digit: code 6; an abort: code 14). ReportError closes the file and
// gives the buffer back on the spot, so from then on nothing may be read or
// stored: m_bReadStopped records that, every reader answers "stopped", and
// LoadImage answers kLoadStopped, which the procedure does not report again.
#include <algorithm>
#include <climits>
#include <cstring>

#include "flash/FlashEngine.h"
#include "flash/ImageScan.h"

namespace {

constexpr std::uint8_t kNotDigit = 0xFF;
constexpr std::uint8_t kTypeData = 0x00;
constexpr std::uint8_t kTypeEnd = 0x01;
constexpr std::uint8_t kTypeNextSegment = 0x55;

// Value of a hexadecimal digit, upper or lower case, for a 7-bit character.
struct NibbleTable {
    std::uint8_t value[128];
    constexpr NibbleTable() : value{} {
        for (auto& v : value) v = kNotDigit;
        for (int i = 0; i < 10; ++i) value['0' + i] = static_cast<std::uint8_t>(i);
        for (int i = 0; i < 6; ++i) {
            value['A' + i] = static_cast<std::uint8_t>(10 + i);
            value['a' + i] = static_cast<std::uint8_t>(10 + i);
        }
    }
};
constexpr NibbleTable kNibbles;

// The two digits of a byte at p, asking the abort hook before each digit as
// ReadNibble does. Answers the byte, or -1 and the error that ends the load.
inline int ReadDigitPair(PFN_CB_TERMINATED terminated, void* context, const std::uint8_t* p, ErrorCode& failure) {
    failure = kErrTerminateUpgrade;
    if (terminated(context) != 0) return -1;
    const std::uint8_t high = kNibbles.value[p[0] & 0x7F];
    if (high == kNotDigit) return failure = kErrFormatMismatch, -1;
    if (terminated(context) != 0) return -1;
    const std::uint8_t low = kNibbles.value[p[1] & 0x7F];
    if (low == kNotDigit) return failure = kErrFormatMismatch, -1;
    return high << 4 | low;
}

}  // namespace

bool CFlashEngine::FillReadAhead() {
    if (fpImage == nullptr || m_bReadStopped) return false;
    const std::size_t got = std::fread(m_readAhead, 1, sizeof m_readAhead, fpImage);
    m_pReadNext = m_readAhead;
    m_pReadEnd = m_readAhead + got;
    return got != 0;
}

// Reports a reading failure once and ends the load: ReportError has closed
// the file and given the buffer back, so nothing may be read or stored now.
int CFlashEngine::StopReading(ErrorCode code) {
    m_bReadStopped = true;
    m_pReadNext = m_pReadEnd;  // nothing left to read in place either
    ReportError(code);
    return -1;
}

bool CFlashEngine::SkipTo(char c) {
    if (m_bReadStopped) return false;
    const int wanted = static_cast<unsigned char>(c) & 0x7F;
    const PFN_CB_TERMINATED terminated = m_Job.Hooks.CBIfTerminated;
    void* const context = m_Job.Hooks.pContext;
    for (;;) {
        // Through the read-ahead in place; the abort hook is asked after
        // each character read, the wanted one included.
        const std::uint8_t* p = m_pReadNext;
        const std::uint8_t* const end = m_pReadEnd;
        while (p != end) {
            const int ch = *p++;
            if (terminated(context) != 0) {
                m_pReadNext = p;
                StopReading(kErrTerminateUpgrade);
                return false;
            }
            if ((ch & 0x7F) == wanted) {
                m_pReadNext = p;
                return true;
            }
        }
        m_pReadNext = p;
        if (!FillReadAhead()) {
            StopReading(kErrFormatMismatch);
            return false;
        }
    }
}

int CFlashEngine::ReadNibble() {
    if (m_bReadStopped) return -1;
    if (IfTerminated() != 0) return StopReading(kErrTerminateUpgrade);
    const int ch = NextImageChar();
    const std::uint8_t v = ch < 0 ? kNotDigit : kNibbles.value[ch & 0x7F];
    if (v == kNotDigit) return StopReading(kErrFormatMismatch);
    return v;
}

// Inlined into the record loop: it reads every header and checksum byte.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline int CFlashEngine::ReadByte() {
    int value;
    if (m_pReadEnd - m_pReadNext >= 2) {
        // Both digits are in the read-ahead, as they are for all but a few
        // bytes of a file: read them in place.
        ErrorCode failure;
        value = ReadDigitPair(m_Job.Hooks.CBIfTerminated, m_Job.Hooks.pContext, m_pReadNext, failure);
        if (value < 0) return StopReading(failure);
        m_pReadNext += 2;
    } else {
        const int high = ReadNibble();
        if (high < 0) return -1;
        const int low = ReadNibble();
        if (low < 0) return -1;
        value = high * 16 + low;
    }
    byRecordSum = static_cast<std::uint8_t>(byRecordSum + value);
    return value;
}

int CFlashEngine::LoadImage() {
    dwImageSize = 0;
    bModelFound = 0;
    bRevisionFound = 0;
    m_bReadStopped = false;
    m_pReadNext = m_pReadEnd = m_readAhead;

    int outcome;
    if (m_Job.bHexImage != 0) {
        outcome = kLoadUnreadable;
        fpImage = std::fopen(m_Job.szImagePath, "r");
        if (fpImage == nullptr) {
            ReportError(kErrOpenImageFile);
        } else if (!ObtainImageBuffer()) {
            ReportError(kErrAllocMemory);
            outcome = kLoadNoMemory;
        } else {
            nSegments = 0;
            outcome = LoadHexRecords();
        }
    } else {
        outcome = LoadBinBanks();
    }

    if (outcome == kLoadComplete) {
        m_platform.LockImage(pBank[0], kImageBufferSize);
    } else if (outcome != kLoadBufferFull) {
        ReleaseImageBuffer(false);
    }
    CloseImageFile();
    return outcome;
}

int CFlashEngine::LoadHexRecords() {
    for (;;) {
        byRecordSum = 0;
        if (!SkipTo(':')) return kLoadStopped;
        const int count = ReadByte();
        const int addrHigh = ReadByte();
        const int addrLow = ReadByte();
        const int type = ReadByte();
        if (m_bReadStopped) return kLoadStopped;

        // 64-bit so that no number of segment records can wrap the base
        // back into the buffer.
        std::uint64_t address = static_cast<std::uint64_t>(addrHigh) * 256 + addrLow +
                                static_cast<std::uint64_t>(nSegments) * kSegmentSize;
        switch (type) {
        case kTypeData: {
            // dwImageSize follows the highest address written. Addresses
            // only grow inside a record, so it is taken up once per record
            // (also when the record ends early).
            const std::uint64_t first = address;
            const auto takeSize = [&] {
                if (address > first && address > dwImageSize) dwImageSize = static_cast<std::uint32_t>(address);
            };
            int i = 0;
            {
                // The bytes whose digits are all in the read-ahead are read
                // and stored in place, with the reading state in registers:
                // this loop is nearly the whole load. The loop below takes
                // the rest, byte by byte.
                const PFN_CB_TERMINATED terminated = m_Job.Hooks.CBIfTerminated;
                void* const context = m_Job.Hooks.pContext;
                const std::uint8_t* p = m_pReadNext;
                const std::uint64_t inPlace = std::min<std::uint64_t>(
                    {static_cast<std::uint64_t>(count), static_cast<std::uint64_t>(m_pReadEnd - p) / 2,
                     address < kImageBufferSize ? kImageBufferSize - address : 0});
                std::uint8_t sum = byRecordSum;
                for (; static_cast<std::uint64_t>(i) < inPlace; ++i, p += 2, ++address) {
                    ErrorCode failure;
                    const int value = ReadDigitPair(terminated, context, p, failure);
                    if (value < 0) {
                        takeSize();
                        StopReading(failure);
                        return kLoadStopped;
                    }
                    sum = static_cast<std::uint8_t>(sum + value);
                    pBank[address / kBankSize][address % kBankSize] = static_cast<std::uint8_t>(value);
                }
                m_pReadNext = p;
                byRecordSum = sum;
            }
            for (; i < count; ++i) {
                // The buffer is the whole flash: data beyond it cannot belong
                // to this drive's image.
                if (address >= kImageBufferSize) {
                    takeSize();
                    return kLoadFormatError;
                }
                const int value = ReadByte();
                if (value < 0) {
                    takeSize();
                    return kLoadStopped;
                }
                pBank[address / kBankSize][address % kBankSize] = static_cast<std::uint8_t>(value);
                ++address;
            }
            takeSize();
            if (ReadByte() < 0) return kLoadStopped;
            if (byRecordSum != 0) return kLoadFormatError;
            break;
        }
        case kTypeEnd:
            if (ReadByte() < 0) return kLoadStopped;
            return (count != 0 || byRecordSum != 0) ? kLoadFormatError : kLoadComplete;
        case kTypeNextSegment:
            if (ReadByte() < 0) return kLoadStopped;
            if (count != 0 || byRecordSum != 0) return kLoadFormatError;
            if (nSegments < UINT32_MAX) ++nSegments;
            break;
        default:
            return kLoadFormatError;
        }
    }
}

int CFlashEngine::LoadBinBanks() {
    fpImage = std::fopen(m_Job.szImagePath, "rb");
    if (fpImage == nullptr) {
        ReportError(kErrOpenImageFile);
        return kLoadUnreadable;
    }
    if (dwFileSize == 0) {
        if (std::fseek(fpImage, 0, SEEK_END) != 0) return kLoadUnreadable;
        const long end = std::ftell(fpImage);
        if (end <= 0) return kLoadUnreadable;  // empty, or no size to be had
        const long long size = end;
        dwFileSize = size > static_cast<long long>(UINT32_MAX)
                         ? UINT32_MAX
                         : static_cast<std::uint32_t>(size);
    }
    if (!ObtainImageBuffer()) {
        ReportError(kErrAllocMemory);
        return kLoadNoMemory;
    }
    std::fseek(fpImage, static_cast<long>(dwFileOffset), SEEK_SET);
    byBank = 0;
    dwImageSize = 0;
    _wSecSum = 0;

    int outcome = kLoadBufferFull;
    while (byBank < kBankCount) {
        const std::size_t got = std::fread(pBank[byBank], 1, kBankSize, fpImage);
        bool done = false;
        if (got < kBankSize) {
            outcome = (std::feof(fpImage) != 0 || got == 0) ? kLoadComplete : kLoadUnreadable;
            done = true;
        }
        ++byBank;
        dwImageSize += static_cast<std::uint32_t>(got);
        if (done) break;
    }
    if (outcome == kLoadUnreadable) return outcome;  // the buffer goes back unscanned

    // Sum and search the whole buffer, 0xFF fill included: the drive checks
    // the sum of everything it will hold.
    _wSecSum = ImageByteSum(pBank[0], kImageBufferSize);
    int modelCount = 0, revisionCount = 0;
    bModelFound = ForwardMatch(pBank[0], kImageBufferSize,
                               reinterpret_cast<const std::uint8_t*>(m_Job.szDriveText),
                               kDriveIdLength, modelCount) ? 1 : 0;
    bRevisionFound = ForwardMatch(pBank[0], kImageBufferSize,
                                  reinterpret_cast<const std::uint8_t*>(m_Job.szRevision),
                                  kRevisionMatchLength, revisionCount) ? 1 : 0;
    return outcome;
}

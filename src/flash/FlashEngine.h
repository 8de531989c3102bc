// CFlashEngine: one firmware upgrade of one drive, from image file to the
// drive's save command. Built from a copy of the FlashJob and run once on
// the worker thread; not shared between threads. Everything it shows goes
// through the job's hooks, every command through the command seam.
//
// The data members are public and kept in the order the rest of the program
// knows them; the worker only needs the constructor and Run().
#pragma once

#include <cstdint>
#include <cstdio>

#include "device/DriveEntry.h"
#include "flash/EngineSeams.h"
#include "flash/ErrorMessages.h"
#include "flash/FlashJob.h"
#include "flash/VendorCommands.h"

constexpr std::uint32_t kBankSize = 32768;
constexpr std::uint32_t kBankCount = 32;
constexpr std::uint32_t kImageBufferSize = kBankSize * kBankCount;  // 1,048,576
constexpr std::uint32_t kSegmentSize = 65536;
constexpr int kDriveIdLength = 24;  // vendor + product identification
constexpr int kRevisionMatchLength = 2;

// What LoadImage answers.
enum LoadOutcome : int {
    kLoadComplete = 1,     // end record reached / ".bin" read to its end
    kLoadBufferFull = 0,   // ".bin" filled all 1 MB; the rest of the file ignored
    kLoadFormatError = -1, // bad ".hex" record, not yet reported
    kLoadUnreadable = -2,  // cannot open, empty ".bin", failed ".bin" read
    kLoadNoMemory = -3,    // no image buffer; already reported (code 11)
    // The character reading met the end of the file, a non-digit or an abort,
    // reported it on the spot (code 6 or 14) and gave everything back. The
    // procedure only fails the run, so the log shows the error line once.
    kLoadStopped = -4,
};

class CFlashEngine {
public:
    explicit CFlashEngine(const FlashJob& job);
    CFlashEngine(const FlashJob& job, const EngineSeams& seams);
    virtual ~CFlashEngine();

    CFlashEngine(const CFlashEngine&) = delete;
    CFlashEngine& operator=(const CFlashEngine&) = delete;

    // The whole run: procedure, outcome line, status cleared, buffer given back.
    void Run();

    // Flash procedure: true when the image was sent and saved.
    bool fgUpgradeFirmware();

    // Image loading into the 1 MB buffer; answers a LoadOutcome.
    int LoadImage();
    // ".hex" character reading. Each answers false / -1 once it has reported
    // an error and stopped the load; nothing further is read after that.
    bool SkipTo(char c);
    int ReadNibble();
    int ReadByte();

    // The four commands; each answers whether the drive took it.
    bool fgReadVendorBlock(std::uint8_t* sense);
    bool fgWriteOneFlashCmdData(std::uint32_t offset, std::uint8_t* sense);
    bool fgWriteHeader(std::uint32_t offset, std::uint8_t* sense);
    bool fgDownloadSave(std::uint8_t* sense);

    // "ERR: <text>" to the log, closes the image file, gives the buffer back.
    void ReportError(ErrorCode code);

    // Where the trace goes; "sum.txt" in the working directory by default.
    void SetSumFilePath(const char* path);

    // Diagnostic sum of every chunk attempt of the process; never reset.
    static std::uint16_t Total() { return _total; }

    // --- The engine record -------------------------------------------------
    DriveEntry Drive;
    char szImagePath[kPathSize];
    char szDriveText[kDriveTextSize];
    char szRevision[kRevisionTextSize];
    std::FILE* fpSum;
    std::FILE* fpImage;
    std::uint8_t* pBank[kBankCount];
    std::uint8_t byBank;
    std::uint16_t wOffset;
    std::uint32_t dwImageSize;
    std::uint8_t bHexImage;
    std::uint8_t byRecordSum;
    std::uint16_t wCheckSum;
    std::uint16_t _wSecSum;
    std::uint8_t bUsePassThrough;
    std::uint32_t dwFileSize;
    std::uint32_t dwFileOffset;
    PFN_CB_TEXT CBSetAuxText;
    PFN_CB_TEXT CBSetRevision;
    PFN_CB_TEXT CBSetDriveName;
    PFN_CB_GETTEXT CBGetDriveName;
    PFN_CB_TEXT CBShowMessage;
    PFN_CB_TEXT CBShowStatus;
    PFN_CB_PROGRESS CBSetProgress;
    PFN_CB_IDLE CBIdle;
    PFN_CB_TERMINATED CBIfTerminated;

    // --- Load results ------------------------------------------------------
    std::uint32_t nSegments;      // ".hex" segment records met
    std::uint8_t bModelFound;     // ".bin": identification found
    std::uint8_t bRevisionFound;  // ".bin": revision found

private:
    int LoadHexRecords();
    int LoadBinBanks();
    bool ObtainImageBuffer();
    void ReleaseImageBuffer(bool unlockFirst);
    void CloseImageFile();
    bool CheckHexImage();
    bool Execute(std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                 const Cdb12& cdb, std::uint8_t* sense);
    void CloseSumFile();
    void SumPrintf(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // `step`: 'A' chunk, 'B' header, 'C' save.
    void ReportCommandFailure(char step, const std::uint8_t* sense, bool lineEnd);

    // Next character of the image file, or -1 at its end. The file is read
    // in large blocks; the character semantics stay those of a stream.
    int NextImageChar() {
        if (m_pReadNext == m_pReadEnd && !FillReadAhead()) return -1;
        return *m_pReadNext++;
    }
#if defined(__GNUC__)
    __attribute__((noinline))
#endif
    bool FillReadAhead();
#if defined(__GNUC__)
    __attribute__((noinline, cold))
#endif
    int StopReading(ErrorCode code);

    static std::uint16_t _total;

    EngineSeams m_seams;
    char m_szSumPath[kPathSize];
    bool m_bReadStopped;  // the character reading reported and ended the load
    const std::uint8_t* m_pReadNext;  // read-ahead of the image file
    const std::uint8_t* m_pReadEnd;
    std::uint8_t m_readAhead[16384];
};

// CFlashEngine: one firmware upgrade of one drive, from image file to the
// drive's save command. Holds its own copy of the FlashJob and is run once on
// the worker thread; not shared between threads. Everything it shows goes
// through the job's hooks, every command, wait and the image buffer through
// the Platform it is given.
//
// What the engine does on purpose although it looks like a bug (the length-0
// save with a data phase, the identification search, progress 5 and 10 per
// chunk, ...) is listed under "Deliberate behaviour" in the README: read it
// before "fixing" any of them.
#pragma once

#include <cstdint>
#include <cstdio>

#include "scsi/DriveEntry.h"
#include "flash/ErrorMessages.h"
#include "flash/FlashJob.h"
#include "flash/SumTrace.h"
#include "flash/VendorCommands.h"
#include "platform/Platform.h"

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
    explicit CFlashEngine(const FlashJob& job, Platform& platform = Platform::Default());
    // Gives back whatever a caller of LoadImage alone left held.
    virtual ~CFlashEngine();

    CFlashEngine(const CFlashEngine&) = delete;
    CFlashEngine& operator=(const CFlashEngine&) = delete;

    // The whole run: procedure, outcome line, status cleared, buffer given back.
    void Run();

    // Image loading into the 1 MB buffer; answers a LoadOutcome. On
    // kLoadComplete and kLoadBufferFull the buffer stays held until Run,
    // ReportError or the destructor gives it back.
    int LoadImage();

    // Where the trace goes; "sum.txt" in the working directory by default.
    void SetSumFilePath(const char* path);

    // --- What the last LoadImage found ---------------------------------------
    // One past the highest address loaded (".hex"), or the bytes read (".bin").
    std::uint32_t ImageSize() const { return dwImageSize; }
    std::uint32_t SegmentCount() const { return nSegments; }        // ".hex"
    bool ModelFound() const { return bModelFound != 0; }            // ".bin"
    bool RevisionFound() const { return bRevisionFound != 0; }      // ".bin"

private:
    // --- The flash procedure, in its three steps ---------------------------
    // True when the image was sent and saved.
    bool fgUpgradeFirmware();
    // Loads the image and checks it is this drive's; shows the "Check Sum".
    bool fgLoadAndCheckImage();
    // Every chunk of the image, each tried up to six times, then the header.
    bool fgTransferImage(std::uint8_t* sense);
    // The save command and the programming wait.
    bool fgSaveAndWait(std::uint8_t* sense);

    // "ERR: <text>" to the log, closes the image file, gives the buffer back.
    void ReportError(ErrorCode code);

    // --- The hooks the engine calls, each handed the table's context -------
    void ShowMessage(const char* text) { m_Job.Hooks.CBShowMessage(m_Job.Hooks.pContext, text); }
    void ShowStatus(const char* text) { m_Job.Hooks.CBShowStatus(m_Job.Hooks.pContext, text); }
    void SetProgress(int position) { m_Job.Hooks.CBSetProgress(m_Job.Hooks.pContext, position); }
    void SetDriveName(const char* text) { m_Job.Hooks.CBSetDriveName(m_Job.Hooks.pContext, text); }
    void SetRevision(const char* text) { m_Job.Hooks.CBSetRevision(m_Job.Hooks.pContext, text); }
    std::uint8_t IfTerminated() { return m_Job.Hooks.CBIfTerminated(m_Job.Hooks.pContext); }

    // --- The four commands; each answers whether the drive took it ---------
    // Sent for the drive's sake only: always answers false, whatever the
    // drive did, and the procedure goes on regardless.
    bool fgReadVendorBlock(std::uint8_t* sense);
    // The 4096 bytes at pBank[byBank] + wOffset to buffer offset `offset`;
    // adds them to _wSecSum and traces the attempt.
    bool fgWriteOneFlashCmdData(std::uint32_t offset, std::uint8_t* sense);
    // The header block carrying _wSecSum, to buffer offset `offset`.
    bool fgWriteHeader(std::uint32_t offset, std::uint8_t* sense);
    bool fgDownloadSave(std::uint8_t* sense);
    bool Execute(std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                 const Cdb12& cdb, std::uint8_t* sense);

    // ".hex" character reading. Each answers false / -1 once it has reported
    // an error and stopped the load; nothing further is read after that.
    bool SkipTo(char c);
    int ReadNibble();
    int ReadByte();
    int LoadHexRecords();
    int LoadBinBanks();
    bool CheckHexImage();

    bool ObtainImageBuffer();
    void ReleaseImageBuffer(bool unlockFirst);
    void CloseImageFile();
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

    // --- The engine record --------------------------------------------------
    // The job as the worker handed it over (drive, image path, the dialog's
    // drive and revision texts, image kind, hooks, transport), its texts
    // made safe by the constructor.
    FlashJob m_Job;
    std::FILE* fpSum;
    std::FILE* fpImage;
    std::uint8_t* pBank[kBankCount];  // the 32 KB banks of the image buffer
    std::uint8_t byBank;              // bank of the next chunk
    std::uint16_t wOffset;            // its offset in that bank
    std::uint32_t dwImageSize;
    std::uint8_t byRecordSum;         // ".hex": sum of the record's bytes so far
    std::uint16_t wCheckSum;          // what "Check Sum : %X" shows
    std::uint16_t _wSecSum;           // sum of the image bytes the drive holds
    std::uint32_t dwFileSize;
    std::uint32_t dwFileOffset;

    // --- Load results ------------------------------------------------------
    std::uint32_t nSegments;      // ".hex" segment records met
    std::uint8_t bModelFound;     // ".bin": identification found
    std::uint8_t bRevisionFound;  // ".bin": revision found

    Platform& m_platform;
    CSumTrace& m_sumTrace;
    char m_szSumPath[kPathSize];
    bool m_bReadStopped;  // the character reading reported and ended the load
    const std::uint8_t* m_pReadNext;  // read-ahead of the image file
    const std::uint8_t* m_pReadEnd;
    std::uint8_t m_readAhead[16384];
};

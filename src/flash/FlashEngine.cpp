// CFlashEngine: construction from the job, the run, numbered error reports
// and the ownership of the image buffer, the image file and sum.txt.
#include "flash/FlashEngine.h"

#include <cstdarg>
#include <cstring>

namespace {

// Makes a fixed text field of the job's copy safe: always terminated, the
// rest zero. The image check compares a fixed number of characters, so
// nothing left over from the dialog's buffer may take part.
template <std::size_t N>
void TerminateText(char (&text)[N]) {
    std::size_t n = 0;
    while (n < N - 1 && text[n] != '\0') ++n;
    std::memset(text + n, 0, N - n);
}

}  // namespace

CFlashEngine::CFlashEngine(const FlashJob& job, Platform& platform)
    : m_Job(job),
      fpSum(nullptr),
      fpImage(nullptr),
      pBank{},
      byBank(0),
      wOffset(0),
      dwImageSize(0),
      byRecordSum(0),
      wCheckSum(0),
      _wSecSum(0),
      dwFileSize(0),
      dwFileOffset(0),
      nSegments(0),
      bModelFound(0),
      bRevisionFound(0),
      m_platform(platform),
      m_sumTrace(CSumTrace::Process()),
      m_szSumPath{},
      m_bReadStopped(false),
      m_pReadNext(m_readAhead),
      m_pReadEnd(m_readAhead) {
    TerminateText(m_Job.szImagePath);
    TerminateText(m_Job.szDriveText);
    TerminateText(m_Job.szRevision);
    SetSumFilePath("sum.txt");
}

// Run, ReportError and the loader give everything back on their paths; what
// is still held here is a buffer a caller of LoadImage alone never handed on.
CFlashEngine::~CFlashEngine() {
    CloseImageFile();
    CloseSumFile();
    ReleaseImageBuffer(true);
}

void CFlashEngine::SetSumFilePath(const char* path) {
    std::strncpy(m_szSumPath, path, sizeof m_szSumPath - 1);
    m_szSumPath[sizeof m_szSumPath - 1] = '\0';
}

void CFlashEngine::Run() {
    const bool ok = fgUpgradeFirmware();
    char text[100];
    std::snprintf(text, sizeof text, "%s",
                  ok ? "Please Restart Your Computer." : "Flashing is incorrect!!");
    ShowMessage(text);
    ShowStatus("");
    ReleaseImageBuffer(true);
}

void CFlashEngine::ReportError(ErrorCode code) {
    char text[100];
    std::snprintf(text, sizeof text, "ERR: %s", ErrorMessages[code]);
    ShowMessage(text);
    CloseImageFile();
    // sum.txt stays open: the procedure writes its own closing line.
    ReleaseImageBuffer(false);
}

bool CFlashEngine::ObtainImageBuffer() {
    auto* base = static_cast<std::uint8_t*>(m_platform.AllocImage(kImageBufferSize));
    if (base == nullptr) return false;
    for (std::uint32_t i = 0; i < kBankCount; ++i) pBank[i] = base + i * kBankSize;
    // Addresses the image does not cover read as erased flash.
    std::memset(base, 0xFF, kImageBufferSize);
    return true;
}

void CFlashEngine::ReleaseImageBuffer(bool unlockFirst) {
    std::uint8_t* base = pBank[0];
    if (base == nullptr) return;  // never obtained, or already given back
    if (unlockFirst) m_platform.UnlockImage(base, kImageBufferSize);
    m_platform.FreeImage(base, kImageBufferSize);
    for (auto& bank : pBank) bank = nullptr;
}

void CFlashEngine::CloseImageFile() {
    if (fpImage == nullptr) return;
    std::fclose(fpImage);
    fpImage = nullptr;
    m_pReadNext = m_pReadEnd = m_readAhead;
}

void CFlashEngine::CloseSumFile() {
    if (fpSum == nullptr) return;
    std::fclose(fpSum);
    fpSum = nullptr;
}

// sum.txt is a trace only: when it could not be opened the run goes on and
// every line is dropped.
void CFlashEngine::SumPrintf(const char* format, ...) {
    if (fpSum == nullptr) return;
    std::va_list args;
    va_start(args, format);
    std::vfprintf(fpSum, format, args);
    va_end(args);
}

// A command failure names the sense key byte, the additional sense code and
// its qualifier, both in sum.txt and in the log box.
void CFlashEngine::ReportCommandFailure(char step, const std::uint8_t* sense,
                                        bool lineEnd) {
    const unsigned key = sense[2], asc = sense[12], ascq = sense[13];
    if (lineEnd) {
        SumPrintf("Execute command error!! %2X/%2X/%2X\n", key, asc, ascq);
    } else {
        SumPrintf("Execute command error!! %2X/%2X/%2X", key, asc, ascq);
    }
    char text[100];
    std::snprintf(text, sizeof text, "Execute command error%c!! %2X/%2X/%2X", step, key, asc,
                  ascq);
    ShowMessage(text);
    CloseSumFile();
}

// FlashWorkerProc: the worker thread of one upgrade (Windows). It takes the
// main dialog's FlashJob, runs the flash on its own copy with the dialog's
// platform and gives the dialog back its "Close" button. "Upgrade" stays
// disabled for the rest of the run of the program.
#pragma once

// `pMainDlg` is the CFlashDlg that started the worker.
unsigned __stdcall FlashWorkerProc(void* pMainDlg);

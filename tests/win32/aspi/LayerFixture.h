// A scratch folder with a drive list, the built wnaspi32.dll loaded from its
// build path with the list named in MARROWFIN_VDRIVES, and requests to send
// it. Every load gets a fresh copy of the layer (the previous one is waited
// out until the module is really gone), so no drive state leaks.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/AspiDefs.h"
#include "device/ScsiTypes.h"

namespace aspitest {

using Bytes = std::vector<std::uint8_t>;

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A 32-byte header carrying the 16-bit sum of `image` in bytes 30-31.
inline Bytes HeaderFor(const Bytes& image) {
    std::uint16_t sum = 0;
    for (std::uint8_t b : image) sum = static_cast<std::uint16_t>(sum + b);
    Bytes header(32, 0);
    header[30] = static_cast<std::uint8_t>(sum >> 8);
    header[31] = static_cast<std::uint8_t>(sum);
    return header;
}

// WRITE BUFFER mode 6 of `length` bytes at `offset`.
inline std::vector<std::uint8_t> ChunkCdb(std::uint32_t offset, std::uint32_t length) {
    const auto b = [](std::uint32_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return {0x3B, 0x06, 0x00, b(offset, 16), b(offset, 8), b(offset, 0), b(length, 16), b(length, 8), b(length, 0)};
}

class LayerFixture : public ::testing::Test {
protected:
    LayerFixture() {
        char temp[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        GetTempFileNameA(temp, "asp", 0, name);  // creates a file: make it a folder
        DeleteFileA(name);
        CreateDirectoryA(name, nullptr);
        m_dir = name;
        for (char& c : m_dir)
            if (c == '\\') c = '/';
        SetEnvironmentVariableA("MARROWFIN_VDRIVES", ConfigPath().c_str());
    }
    ~LayerFixture() override {
        Unload();
        SetEnvironmentVariableA("MARROWFIN_VDRIVES", nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string ConfigPath() const { return m_dir + "/vdrives.txt"; }
    std::string RecordPath() const { return m_dir + "/record.txt"; }
    std::string InDir(const std::string& name) const { return m_dir + "/" + name; }

    // Writes the list with a record line into the scratch folder and loads the layer.
    void Load(const std::string& config) {
        std::ofstream(ConfigPath(), std::ios::binary) << config << "\nrecord \"" + RecordPath() + "\"\n";
        LoadLayer();
    }
    void LoadLayer() {
        Unload();
        m_module = LoadLibraryA(WNASPI32_DLL_PATH);
        ASSERT_NE(nullptr, m_module) << "cannot load " << WNASPI32_DLL_PATH << ", error " << GetLastError();
        supportInfo = reinterpret_cast<PFN_GETASPI32SUPPORTINFO>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "GetASPI32SupportInfo")));
        send = reinterpret_cast<PFN_SENDASPI32COMMAND>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "SendASPI32Command")));
        ASSERT_NE(nullptr, supportInfo);
        ASSERT_NE(nullptr, send);
    }
    // A worker that has just signalled its last request may still hold the
    // module for a moment; the next load must get a fresh copy.
    void Unload() {
        if (m_module == nullptr) return;
        FreeLibrary(m_module);
        m_module = nullptr;
        for (int i = 0; i < 5000 && GetModuleHandleA(WNASPI32_DLL_PATH) != nullptr; ++i) Sleep(1);
        ASSERT_EQ(nullptr, GetModuleHandleA(WNASPI32_DLL_PATH)) << "layer still loaded";
    }

    // A request as the program builds it: 12-byte CDB (zero-filled), 14 sense bytes.
    SRB_ExecSCSICmd Exec(std::uint8_t ha, std::uint8_t target, const std::vector<std::uint8_t>& cdb,
                         std::uint8_t flags, std::uint8_t* data, std::uint32_t length) {
        SRB_ExecSCSICmd srb{};
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = ha;
        srb.SRB_Target = target;
        srb.SRB_Flags = flags;
        srb.SRB_BufLen = length;
        srb.SRB_BufPointer = data;
        srb.SRB_SenseLen = SENSE_LEN;
        srb.SRB_CDBLen = 12;
        std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
        return srb;
    }

    // Sends with a completion event, which either completion path signals, and
    // answers the final status; `returned` receives what SendASPI32Command answered.
    std::uint8_t SendAndWait(SRB_ExecSCSICmd& srb, std::uint32_t* returned = nullptr) {
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        srb.SRB_Flags |= SRB_EVENT_NOTIFY;
        srb.SRB_PostProc = event;
        const std::uint32_t answer = send(&srb);
        if (returned != nullptr) *returned = answer;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 5000)) << "completion event never signalled";
        CloseHandle(event);
        return srb.SRB_Status;
    }

    PFN_GETASPI32SUPPORTINFO supportInfo = nullptr;
    PFN_SENDASPI32COMMAND send = nullptr;

private:
    std::string m_dir;
    HMODULE m_module = nullptr;
};

}  // namespace aspitest

#include "DialogTemplate.h"

namespace testing_win {

namespace {

class Reader {
public:
    explicit Reader(const BYTE* p) : m_start(p), m_p(p) {}
    WORD Word() { WORD w; memcpy(&w, m_p, 2); m_p += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, m_p, 4); m_p += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    void AlignDword() { while ((m_p - m_start) % 4) ++m_p; }
    void Skip(size_t n) { m_p += n; }
    std::string WideString() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word()) s += static_cast<char>(c);
        return s;
    }
    // A string, an ordinal ("#N"), or nothing.
    std::string SzOrOrd() {
        WORD first;
        memcpy(&first, m_p, 2);
        if (first == 0x0000) { m_p += 2; return ""; }
        if (first == 0xFFFF) { m_p += 2; return "#" + std::to_string(Word()); }
        return WideString();
    }

private:
    const BYTE* m_start;
    const BYTE* m_p;
};

std::string ClassFromOrdinal(const std::string& cls) {
    static const char* names[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (cls.size() > 1 && cls[0] == '#') {
        int ordinal = std::stoi(cls.substr(1));
        if (ordinal >= 0x80 && ordinal <= 0x85) return names[ordinal - 0x80];
    }
    return cls;
}

}  // namespace

DialogTemplate LoadDialogTemplate(int id) {
    DialogTemplate t;
    HRSRC hRes = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    if (hRes == nullptr) return t;
    const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, hRes)));
    Reader r(data);
    if (r.Word() != 1 || r.Word() != 0xFFFF) return t;  // DIALOGEX only
    r.Dword();  // help id
    t.exStyle = r.Dword();
    t.style = r.Dword();
    WORD count = r.Word();
    r.Short(), r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    r.SzOrOrd();  // menu
    r.SzOrOrd();  // class
    t.caption = r.WideString();
    if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
        t.pointSize = r.Word();
        r.Word();
        r.Skip(2);
        t.fontFace = r.WideString();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        TemplateItem item;
        r.Dword();  // help id
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = static_cast<int>(r.Dword());
        item.cls = ClassFromOrdinal(r.SzOrOrd());
        item.text = r.SzOrOrd();
        r.Skip(r.Word());
        t.items.push_back(item);
    }
    t.ok = true;
    return t;
}

}  // namespace testing_win
